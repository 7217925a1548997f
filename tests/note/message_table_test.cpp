// The message table against the code that formats the messages and against
// docs/messages.md: a message the code can show without a row, a row whose
// message is gone, or a doc that lags the table all fail here.
#include "note/message_table.h"
#include "support/text_files.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace movra::note {
namespace {

namespace fs = std::filesystem;

std::string readFile(const fs::path& path) { return testing::fileText(path); }

// One C string literal from its opening quote; `at` ends after the closing quote.
std::string literalAt(const std::string& source, size_t& at) {
  std::string text;
  for (++at; at < source.size() && source[at] != '"'; ++at) {
    if (source[at] != '\\') {
      text += source[at];
      continue;
    }
    const char escaped = source[++at];
    text += escaped == 'n' ? '\n' : escaped == 't' ? '\t' : escaped;
  }
  ++at;
  return text;
}

// Adjacent literals are one string, as the compiler joins them.
std::string joinedLiteralAt(const std::string& source, size_t& at) {
  std::string text = literalAt(source, at);
  for (size_t next = at; next < source.size(); ++next) {
    if (std::isspace(static_cast<unsigned char>(source[next]))) continue;
    if (source[next] == '"') {
      text += literalAt(source, next);
      at = next;
      --next;
      continue;
    }
    break;
  }
  return text;
}

// The text of the argument that starts at `at`, to its top-level comma or the
// call's closing parenthesis; literals are kept whole.
std::string argumentAt(const std::string& source, size_t at) {
  std::string argument;
  int depth = 0;
  while (at < source.size()) {
    const char c = source[at];
    if (c == '"') {
      const size_t start = at;
      literalAt(source, at);
      argument += source.substr(start, at - start);
      continue;
    }
    if (c == '(' || c == '[') ++depth;
    if ((c == ')' || c == ']') && depth-- == 0) break;
    if (c == ',' && depth == 0) break;
    argument += c;
    ++at;
  }
  return argument;
}

// The string constants a file defines or gets from its own headers.
std::map<std::string, std::string> constantsSeenBy(const fs::path& file, const fs::path& sources) {
  std::vector<std::string> texts = {readFile(file)};
  static const std::regex include("#include \"([^\"]+)\"");
  for (std::sregex_iterator m(texts[0].begin(), texts[0].end(), include), end; m != end; ++m) {
    if (fs::exists(sources / (*m)[1].str())) texts.push_back(readFile(sources / (*m)[1].str()));
  }
  static const std::regex definition(R"(\b(k[A-Z]\w*)(\[\])?\s*=\s*")");
  std::map<std::string, std::string> constants;
  for (const std::string& text : texts) {
    for (std::sregex_iterator m(text.begin(), text.end(), definition), end; m != end; ++m) {
      size_t at = static_cast<size_t>(m->position() + m->length() - 1);
      constants[(*m)[1].str()] = joinedLiteralAt(text, at);
    }
  }
  return constants;
}

// The formats in an argument: its literals and the string constants it names.
void collectFormats(const std::string& argument,
                    const std::map<std::string, std::string>& constants,
                    std::set<std::string>& formats) {
  for (size_t at = 0; at < argument.size();) {
    if (argument[at] == '"') {
      formats.insert(joinedLiteralAt(argument, at));
    } else if (argument[at] == 'k' &&
               (at == 0 || !std::isalnum(static_cast<unsigned char>(argument[at - 1])))) {
      size_t end = at;
      while (end < argument.size() &&
             (std::isalnum(static_cast<unsigned char>(argument[end])) || argument[end] == '_'))
        ++end;
      if (auto found = constants.find(argument.substr(at, end - at)); found != constants.end())
        formats.insert(found->second);
      at = end;
    } else {
      ++at;
    }
  }
}

// A format of nothing but conversions and blanks passes on a text made elsewhere.
bool passesOn(const std::string& format) {
  return std::regex_match(format, std::regex(R"(([\s]|%s)*)"));
}

// Every format the simulator and the reader hand to the reporter: the first
// argument of its calls, the texts helpers pass to it, and the constants a file
// routes into a call that passes its text on.
std::set<std::string> formatsInTheCode() {
  const fs::path sources = fs::path(MOVRA_SOURCE_DIR) / "src";
  static const std::regex call(R"((\.|->)(modelError|notice|refusal|ask)\s*\()");
  static const std::regex helper(R"(\b\w+\(\s*reporter\s*,\s*)");
  static const std::regex routed(R"(\*?\b\w+\s*=\s*(k[A-Z]\w*)\s*;)");
  std::set<std::string> formats;
  for (const auto& entry : fs::recursive_directory_iterator(sources)) {
    const fs::path& path = entry.path();
    const std::string relative = fs::relative(path, sources).string();
    if (path.extension() != ".cpp" && path.extension() != ".h") continue;
    // The editor's own messages are English already; the reporter is the channel.
    if (relative.rfind("note/", 0) == 0 || relative.rfind("input/report.", 0) == 0) continue;
    const std::string text = readFile(path);
    const auto constants = constantsSeenBy(path, sources);
    bool passing = false;
    for (std::sregex_iterator m(text.begin(), text.end(), call), end; m != end; ++m) {
      std::set<std::string> found;
      collectFormats(argumentAt(text, static_cast<size_t>(m->position() + m->length())), constants,
                     found);
      for (const std::string& format : found) {
        if (passesOn(format)) {
          passing = true;
        } else {
          formats.insert(format);
        }
      }
    }
    for (std::sregex_iterator m(text.begin(), text.end(), helper), end; m != end; ++m) {
      collectFormats(argumentAt(text, static_cast<size_t>(m->position() + m->length())), constants,
                     formats);
    }
    if (!passing) continue;
    for (std::sregex_iterator m(text.begin(), text.end(), routed), end; m != end; ++m) {
      if (auto found = constants.find((*m)[1].str()); found != constants.end())
        formats.insert(found->second);
    }
  }
  return formats;
}

// The simulator's sources in one text, for the pieces of composed rows.
std::string allSources() {
  const fs::path sources = fs::path(MOVRA_SOURCE_DIR) / "src";
  std::string all;
  for (const auto& entry : fs::recursive_directory_iterator(sources)) {
    if (entry.path().extension() == ".cpp" || entry.path().extension() == ".h")
      all += readFile(entry.path());
  }
  return all;
}

std::string escaped(const std::string& text) {
  std::string shown;
  for (const char c : text) shown += c == '\n' ? std::string("\\n") : std::string(1, c);
  return shown;
}

TEST(MessageTable, EveryMessageOfTheCodeHasARowAndEveryRowAMessage) {
  const std::set<std::string> code = formatsInTheCode();
  // A scan that finds next to nothing has lost its way, not proved the table.
  ASSERT_GT(code.size(), 150u);
  std::set<std::string> rows;
  for (const MessageRow& row : messageTable()) rows.insert(row.text);
  for (const std::string& format : code) {
    EXPECT_EQ(rows.count(format), 1u) << "no row for the message \"" << escaped(format) << "\"";
  }
  const std::string sources = allSources();
  for (const MessageRow& row : messageTable()) {
    if (code.count(row.text) != 0) continue;
    const std::string text = row.text;
    if (text.rfind('%', 0) == 0) {
      // A composed text: each fixed piece must still be written somewhere.
      static const std::regex conversion(R"(%[-+ #0-9.l]*[a-zA-Z])");
      for (std::sregex_token_iterator piece(text.begin(), text.end(), conversion, -1), end;
           piece != end; ++piece) {
        const std::string fixed = piece->str();
        if (fixed.find_first_not_of(" \n") == std::string::npos) continue;
        EXPECT_NE(sources.find(fixed), std::string::npos)
            << "the row \"" << escaped(text) << "\": \"" << fixed << "\" is gone";
      }
      continue;
    }
    ADD_FAILURE() << "the row \"" << escaped(text) << "\" names a message the code no longer has";
  }
}

TEST(MessageTable, RowsAreSingleAndSayWhatToDo) {
  std::set<std::string> seen;
  for (const MessageRow& row : messageTable()) {
    EXPECT_TRUE(seen.insert(row.text).second) << "two rows for \"" << escaped(row.text) << "\"";
    EXPECT_GT(std::string(row.meaning).size(), 10u) << escaped(row.text);
    EXPECT_GT(std::string(row.todo).size(), 10u) << escaped(row.text);
    const std::string shown = row.shown;
    EXPECT_TRUE(shown == "error" || shown == "notice" || shown == "question" ||
                shown == "refusal" || shown == "error/notice")
        << escaped(row.text) << ": " << shown;
  }
}

// A text printed from each row's format with sample values finds that row, so
// no row is shadowed by a looser one.
TEST(MessageTable, EachRowsOwnTextFindsIt) {
  for (const MessageRow& row : messageTable()) {
    const std::string format = row.text;
    std::string sample;
    for (size_t at = 0; at < format.size(); ++at) {
      if (format[at] != '%') {
        sample += format[at];
        continue;
      }
      size_t end = at + 1;
      while (end < format.size() &&
             std::string("-+ #0123456789.l").find(format[end]) != std::string::npos)
        ++end;
      const char letter = format[end];
      sample += letter == 'd'   ? "-12"
                : letter == 'e' ? "1.500000e-03"
                : letter == 'g' ? "2.5"
                                : "lr 1n 2, 1";
      at = end;
    }
    const MessageRow* found = findMessageRow(sample);
    ASSERT_NE(found, nullptr) << escaped(sample);
    EXPECT_STREQ(found->text, row.text) << escaped(sample);
  }
}

TEST(MessageTable, FormatsMatchWhatTheyPrint) {
  struct Case {
    const char* format;
    const char* text;
    bool matches;
  };
  const Case cases[] = {
      {" 節に剛接？ %d %d \n\n %s", " 節に剛接？ 12 -3 \n\n pc 1n 2p", true},
      {" 節に剛接？ %d %d \n\n %s", " 節に剛接？ 12 x \n\n pc 1n 2p", false},
      {" 転記id  c%3d がダブる \n%s", " 転記id  c  7 がダブる \nR 1 2, 1k", true},
      {"刻み巾 dt が小さ過ぎ？　%d  %e \n\n %s", "刻み巾 dt が小さ過ぎ？　4  1.000000e-12 \n\n .t",
       true},
      {" 発散？　%e \n\n %s", " 発散？　inf \n\n :int 20", true},
      {" 発散？　%e \n\n %s", " 発散？　-nan \n\n :int 20", true},
      // Blanks are part of the text: the two convection messages differ by one.
      {"数値が？ \n\n %s", "数値が？  \n\n Ni 1 2, 100", false},
      {"数値が？  \n\n %s", "数値が？  \n\n Ni 1 2, 100", true},
      {" File失敗f1   %s%s%s", " File失敗f1   movra-text-12\n\nなぜ", true},
      {"100%% %d", "100% 5", true},
      {"100%% %d", "100%% 5", false},
      {"データが？ \n\n %s", "データが？ \n\n", false},
      {"データが？ \n\n %s", "データが？ \n\n ", true},
      {" 要素の数が１００を超える ", " 要素の数が１００を超える", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(matchesFormat(c.format, c.text), c.matches)
        << escaped(c.format) << " / " << escaped(c.text);
  }
}

TEST(MessageTable, TheMostSpecificRowWinsAndTheHintExplainsTheNumbers) {
  struct Case {
    const char* text;
    const char* row;       // nullptr: no row
    const char* hintSays;  // a piece of the hint
  };
  const Case cases[] = {
      {"データが？ \n\n V 1 0, 5, -1 \n", "データが？ \n\n %s \n", "internal resistance"},
      {"データが？ \n\n R 1 2, -1", "データが？ \n\n %s", "missing"},
      {"数値が？  \n\n Ni 1 2, 0", "数値が？  \n\n %s", "gap"},
      {" 初期に解けない？_G  ig=1  0  0  1  0.000000e+00 \n 決まらない未知数 4：節 2 "
       "の電位（電気） \n\n I 2 0, 1m",
       " 初期に解けない？_G  ig=%d  %d  %d  %d  %e \n%s\n\n %s", "2 = a pivot below"},
      {" 発散？61　20 0 0 1.000000e+16 \n\n :pi 20", " 発散？%d　%d %d %d %e \n\n %s",
       "61 PI controller"},
      {"something else entirely", nullptr, ""},
  };
  for (const Case& c : cases) {
    const MessageRow* row = findMessageRow(c.text);
    if (c.row == nullptr) {
      EXPECT_EQ(row, nullptr) << escaped(c.text);
      EXPECT_EQ(messageHint(c.text), "");
      continue;
    }
    ASSERT_NE(row, nullptr) << escaped(c.text);
    EXPECT_STREQ(row->text, c.row) << escaped(c.text);
    const std::string hint = messageHint(c.text);
    EXPECT_EQ(hint.rfind("hint: ", 0), 0u) << hint;
    EXPECT_NE(hint.find(c.hintSays), std::string::npos) << hint;
    EXPECT_EQ(hint.find('\n'), std::string::npos) << hint;
  }
}

// docs/messages.md carries the table as the program has it. MOVRA_WRITE_MESSAGES_DOC=1
// rewrites the table part of the file after the table has changed.
TEST(MessageTable, TheDocListsEveryRow) {
  const fs::path doc = fs::path(MOVRA_SOURCE_DIR) / "docs" / "messages.md";
  std::string text = readFile(doc);
  const std::string table = messageTableMarkdown();
  const std::string head = "| Message | Shown as |";
  const size_t start = text.find(head);
  ASSERT_NE(start, std::string::npos) << doc << " has no message table";
  size_t end = start;
  while (end < text.size() && text[end] == '|') end = text.find('\n', end) + 1;
  if (std::getenv("MOVRA_WRITE_MESSAGES_DOC") != nullptr) {
    text.replace(start, end - start, table);
    std::ofstream(doc, std::ios::binary) << text;
    end = start + table.size();
  }
  EXPECT_EQ(text.substr(start, end - start), table)
      << "docs/messages.md lags the table: run this test with MOVRA_WRITE_MESSAGES_DOC=1";
  for (const MessageRow& row : messageTable()) {
    EXPECT_NE(text.find(row.meaning), std::string::npos) << escaped(row.text);
  }
}

}  // namespace
}  // namespace movra::note
