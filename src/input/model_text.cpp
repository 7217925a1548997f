#include "input/model_text.h"

#include <cstdio>
#include <cstring>

#include "platform/shared_memory.h"

namespace movra {

namespace {

// Appends at most what fits, always leaving room for a terminator.
void appendBounded(char* buffer, size_t capacity, size_t& length, const char* text, size_t count) {
  if (length + 1 >= capacity) return;
  const size_t room = capacity - 1 - length;
  const size_t take = count < room ? count : room;
  std::memcpy(buffer + length, text, take);
  length += take;
  buffer[length] = 0;
}

// Appends one line and its CR LF; the line is cut rather than the CR LF, so that
// the line structure of the text survives a line that does not fit.
void appendLine(char* buffer, size_t capacity, size_t& length, const char* line, size_t count,
                const char* tail) {
  const size_t tailLength = std::strlen(tail);
  if (length + tailLength + 1 > capacity) return;
  const size_t room = capacity - 1 - length - tailLength;
  appendBounded(buffer, capacity, length, line, count < room ? count : room);
  appendBounded(buffer, capacity, length, tail, tailLength);
}

// The first blank-separated word of a line, at most 10 characters.
void readKeyword(const char* line, size_t lineLength, char (&keyword)[kKeywordBytes]) {
  size_t i = 0;
  while (i < lineLength && (line[i] == ' ' || line[i] == '\t')) ++i;
  size_t k = 0;
  while (i < lineLength && line[i] != ' ' && line[i] != '\t' && k < kKeywordBytes - 1) {
    keyword[k++] = line[i++];
  }
  keyword[k] = 0;
}

// The text from the first "c:" up to and including the next ".log"; empty if none.
std::string keyFileNameInLine(const std::string& line) {
  const size_t start = line.find("c:");
  if (start == std::string::npos) return {};
  const size_t end = line.find(".log", start);
  if (end == std::string::npos) return {};
  return line.substr(start, end + 4 - start);
}

int readControlKeyFile(Model& model, Reporter& reporter) {
  std::FILE* file = std::fopen(model.controlKeyFile, "r");
  if (file == nullptr) {
    reporter.refusal(" ファイルが？  %s ", model.controlKeyFile);
    return 9;
  }
  const int longLine = readControlKeys(file, model.controlKeys);
  std::fclose(file);
  if (longLine > 0) {
    return reporter.modelError(" 制御キーの行が長過ぎる？ (127字まで)  %d行目 \n\n %s ", longLine,
                               model.controlKeyFile);
  }
  return 0;
}

}  // namespace

std::string keyFilePathFromModel(const std::string& name) {
  std::string path = name;
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  if (path.size() >= 2 && (path[0] == 'c' || path[0] == 'C') && path[1] == ':') path.erase(0, 2);
  return path;
}

int numberModelText(Model& model, Reporter& reporter, const std::string& controlKeyArgument) {
  char* text = model.modelText;
  text[kModelTextBytes] = 0;
  for (char* c = text; *c != 0; ++c) {
    if (*c == '>') *c = ' ';
  }

  bool keyFileRequested = false;
  bool keyLineSeen = false;
  if (!controlKeyArgument.empty()) {
    std::snprintf(model.controlKeyFile, sizeof model.controlKeyFile, "%s", controlKeyArgument.c_str());
    model.replayMode = 1;
    keyFileRequested = true;
  }

  // Records past the ones handed over (or past our array) have no data to attach to.
  const int lastRecord = model.lastRecordIndex < kRecordCapacity ? model.lastRecordIndex
                                                                  : kRecordCapacity - 1;
  int record = -1;
  int skip = 0;
  bool numbering = true;
  size_t echoLength = 0;
  const char* cursor = text;
  while (true) {
    const char* end = std::strstr(cursor, "\r\n");
    if (end == nullptr) break;  // a line without its CR LF is not read
    const char* line = cursor;
    const size_t lineLength = static_cast<size_t>(end - cursor);
    cursor = end + 2;

    if (skip > 0) {
      StatementRecord& current = model.records[record];
      appendLine(current.echoText, sizeof current.echoText, echoLength, line, lineLength, "\r\n");
      --skip;
      continue;
    }
    if (record + 1 > lastRecord) {
      std::string shown(line, lineLength < 200 ? lineLength : 200);
      return reporter.modelError(" 行が記録の数を超える？  %d > %d \n\n %s", record + 1, lastRecord,
                                 shown.c_str());
    }
    ++record;
    StatementRecord& current = model.records[record];
    current.echoText[0] = 0;
    echoLength = 0;
    char keyword[kKeywordBytes];
    readKeyword(line, lineLength, keyword);

    if (current.typeCode == 99) {
      if (!keyLineSeen) {
        keyLineSeen = true;
        const std::string name = keyFileNameInLine(std::string(line, lineLength));
        if (!name.empty()) {
          std::snprintf(model.controlKeyFile, sizeof model.controlKeyFile, "%s",
                        keyFilePathFromModel(name).c_str());
          if (model.replayMode != 2) model.replayMode = 2;
          keyFileRequested = true;
        }
      }
      continue;  // the key-file line is not a statement
    }
    if (std::strcmp(keyword, ":u") == 0 || std::strcmp(keyword, ".sd") == 0) {
      skip = current.continuationCount > 0 ? current.continuationCount : 0;
    }
    if (std::strcmp(keyword, ".ic") == 0) {
      numbering = false;
      current.typeCode = 0;
    }
    if (numbering) {
      char prefix[16];
      const int prefixLength = std::snprintf(prefix, sizeof prefix, "$%3d  ", record);
      appendBounded(current.echoText, sizeof current.echoText, echoLength, prefix,
                    static_cast<size_t>(prefixLength));
    }
    appendLine(current.echoText, sizeof current.echoText, echoLength, line, lineLength, " \r\n");
  }
  model.recordsRead = record + 1;

  size_t numberedLength = 0;
  model.numberedText[0] = 0;
  for (int r = 0; r <= record; ++r) {
    const StatementRecord& current = model.records[r];
    if (current.echoFlag == 1) continue;
    appendBounded(model.numberedText, sizeof model.numberedText, numberedLength, current.echoText,
                  std::strlen(current.echoText));
  }

  if (keyFileRequested) return readControlKeyFile(model, reporter);
  return 0;
}

int readModelText(Model& model, Reporter& reporter, const ModelTextArguments& arguments) {
  if (model.handOverMode > 0) {
    platform::SharedBlock block;
    if (!platform::openSharedBlock(arguments.textBlockName.c_str(), kModelTextBytes, block)) {
      // A block someone else made is named with the reason it was not used.
      reporter.modelError(" File失敗f1   %s%s%s", arguments.textBlockName.c_str(),
                          block.refusal.empty() ? "" : "\n\n", block.refusal.c_str());
      return 19;
    }
    if (!platform::mapSharedBlock(block)) {
      platform::closeSharedBlock(block);
      reporter.modelError(" File失敗f2");
      return 19;
    }
    std::memcpy(model.modelText, block.data, kModelTextBytes);
    model.modelText[kModelTextBytes] = 0;
    if (!platform::unmapSharedBlock(block)) reporter.modelError(" File失敗5");
    // The text block is this run's alone: once copied nobody needs it, and a
    // killed editor then leaves nothing behind.
    platform::removeBlockName(block);
    platform::closeSharedBlock(block);
  }
  const int status = numberModelText(model, reporter, arguments.controlKeyFile);
  if (status != 0) return status;
  // The editor leaves a file of the block's name for the simulator to clear away;
  // only a plain name in the working directory is taken.
  if (model.handOverMode > 0 && !arguments.textBlockName.empty() &&
      arguments.textBlockName.find('/') == std::string::npos) {
    std::remove(arguments.textBlockName.c_str());
  }
  return 0;
}

}  // namespace movra
