#include "language/lsp/server.h"

#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <regex>

#include "language/completion.h"
#include "language/diagnostics.h"
#include "language/hover.h"
#include "language/lsp/protocol.h"
#include "language/model_index.h"
#include "language/navigation.h"

namespace movra::language::lsp {
namespace {

using json = nlohmann::json;

// JSON-RPC and protocol error codes.
constexpr int kParseError = -32700;
constexpr int kInvalidRequest = -32600;
constexpr int kMethodNotFound = -32601;
constexpr int kInvalidParams = -32602;
constexpr int kInternalError = -32603;
constexpr int kServerNotInitialized = -32002;
constexpr int kRequestFailed = -32803;

// Protocol enumerations the answers use.
constexpr int kSyncIncremental = 2;
enum LspCompletionKind {
  kLspFunction = 3,
  kLspVariable = 6,
  kLspValue = 12,
  kLspUnit = 11,
  kLspKeyword = 14
};
enum LspSymbolKind {
  kLspFile = 1,
  kLspNamespace = 3,
  kLspFunctionSymbol = 12,
  kLspConstant = 14,
  kLspArray = 18,
  kLspObject = 19,
  kLspKey = 20,
  kLspEvent = 24,
  kLspOperator = 25,
};

struct ProtocolError {
  int code;
  std::string message;
};

struct Document {
  std::string uri;
  std::string path;  // empty for a URI that is no file
  std::string text;
  std::unique_ptr<FileIndex> index;
  bool tooLarge = false;
};

class Server {
 public:
  Server(std::ostream& out, std::ostream& log) : out_(out), log_(log) {}

  bool exited() const { return exited_; }
  int exitCode() const { return shutdown_ ? 0 : 1; }

  void onFrame(const Frame& frame) {
    if (frame.status == Frame::Status::kBadHeader) {
      return respondError(nullptr, kParseError, frame.problem);
    }
    if (frame.status == Frame::Status::kTooLarge) {
      return respondError(nullptr, kRequestFailed,
                          "a message of " + std::to_string(frame.length) +
                              " bytes is larger than this server reads (" +
                              std::to_string(kLargestMessage) + " bytes); it was skipped");
    }
    json message = json::parse(frame.body, nullptr, false);
    if (message.is_discarded())
      return respondError(nullptr, kParseError, "the message is not JSON");
    if (!message.is_object() || !message.contains("method") || !message["method"].is_string()) {
      if (message.is_object() && message.contains("result")) return;  // a reply to us
      const json id = message.is_object() && message.contains("id") ? message["id"] : json();
      return respondError(id, kInvalidRequest, "a request needs a method name");
    }
    const std::string method = message["method"];
    const bool request = message.contains("id");
    const json id = request ? message["id"] : json();
    const json params = message.contains("params") ? message["params"] : json::object();
    try {
      if (request) {
        respond(id, handleRequest(method, params));
      } else {
        handleNotification(method, params);
      }
    } catch (const ProtocolError& error) {
      if (request)
        respondError(id, error.code, error.message);
      else
        log_ << "movra-note lsp: " << method << ": " << error.message << "\n";
    } catch (const json::exception& error) {
      if (request)
        respondError(id, kInvalidParams, std::string("bad parameters: ") + error.what());
      else
        log_ << "movra-note lsp: " << method << ": bad parameters: " << error.what() << "\n";
    } catch (const std::exception& error) {
      // A fault of ours must not end the session: the editor gets the reason.
      if (request)
        respondError(id, kInternalError, std::string("internal error: ") + error.what());
      else
        log_ << "movra-note lsp: " << method << ": internal error: " << error.what() << "\n";
    }
  }

 private:
  void send(const json& message) {
    writeFrame(out_, message.dump(-1, ' ', false, json::error_handler_t::replace));
  }

  void respond(const json& id, json result) {
    send({{"jsonrpc", "2.0"}, {"id", id}, {"result", std::move(result)}});
  }

  void respondError(const json& id, int code, const std::string& message) {
    send({{"jsonrpc", "2.0"}, {"id", id}, {"error", {{"code", code}, {"message", message}}}});
  }

  json handleRequest(const std::string& method, const json& params) {
    if (method == "initialize") {
      initialized_ = true;
      snippets_ = params.value(
          "/capabilities/textDocument/completion/completionItem/snippetSupport"_json_pointer,
          false);
      return capabilities();
    }
    if (!initialized_) throw ProtocolError{kServerNotInitialized, "initialize first"};
    if (shutdown_) throw ProtocolError{kInvalidRequest, "the server is shut down"};
    if (method == "shutdown") {
      shutdown_ = true;
      return nullptr;
    }
    if (method == "textDocument/hover") return hover(params);
    if (method == "textDocument/completion") return completion(params);
    if (method == "textDocument/definition") return locations(params, false, false);
    if (method == "textDocument/references") {
      return locations(params, true,
                       params.value("/context/includeDeclaration"_json_pointer, false));
    }
    if (method == "textDocument/documentSymbol") return symbols(params);
    throw ProtocolError{kMethodNotFound, "movra-note lsp does not serve '" + method + "'"};
  }

  void handleNotification(const std::string& method, const json& params) {
    if (method == "exit") {
      exited_ = true;
      return;
    }
    if (!initialized_) return;
    if (method == "textDocument/didOpen") {
      const json& item = params.at("textDocument");
      Document& document = documents_[item.at("uri").get<std::string>()];
      document.uri = item.at("uri");
      document.path = pathOfUri(document.uri).value_or("");
      document.text = item.at("text");
      analyse(document);
    } else if (method == "textDocument/didChange") {
      Document& document = known(params);
      for (const json& change : params.at("contentChanges")) applyChange(document.text, change);
      analyse(document);
    } else if (method == "textDocument/didClose") {
      const std::string uri = params.at("textDocument").at("uri");
      documents_.erase(uri);
      send({{"jsonrpc", "2.0"},
            {"method", "textDocument/publishDiagnostics"},
            {"params", {{"uri", uri}, {"diagnostics", json::array()}}}});
    }
    // Other notifications ($/cancelRequest, initialized, didSave, ...) need nothing.
  }

  json capabilities() const {
    return {{"capabilities",
             {{"textDocumentSync", {{"openClose", true}, {"change", kSyncIncremental}}},
              {"hoverProvider", true},
              {"completionProvider", {{"triggerCharacters", {" ", ",", "("}}}},
              {"definitionProvider", true},
              {"referencesProvider", true},
              {"documentSymbolProvider", true}}},
            {"serverInfo", {{"name", "movra-note lsp"}, {"version", "0.1"}}}};
  }

  Document& known(const json& params) {
    const std::string uri = params.at("textDocument").at("uri");
    const auto it = documents_.find(uri);
    if (it == documents_.end())
      throw ProtocolError{kInvalidParams, "the document " + uri + " is not open"};
    return it->second;
  }

  // A document past the limit is not analysed; requests on it fail with the reason.
  const Document& analysed(const json& params) {
    const Document& document = known(params);
    if (document.tooLarge) {
      throw ProtocolError{kRequestFailed, "the document is " +
                                              std::to_string(document.text.size()) +
                                              " bytes; movra-note lsp analyses models up to " +
                                              std::to_string(kLargestDocument) + " bytes"};
    }
    return document;
  }

  static void applyChange(std::string& text, const json& change) {
    if (!change.contains("range")) {
      text = change.at("text");
      return;
    }
    const json& range = change["range"];
    const size_t start =
        offsetOf(text, range.at("start").at("line"), range.at("start").at("character"));
    const size_t end = offsetOf(text, range.at("end").at("line"), range.at("end").at("character"));
    if (end < start)
      throw ProtocolError{kInvalidParams, "a change whose range ends before it starts"};
    text.replace(start, end - start, change.at("text").get<std::string>());
  }

  void analyse(Document& document) {
    json diagnostics = json::array();
    document.tooLarge = document.text.size() > kLargestDocument;
    if (document.tooLarge) {
      document.index.reset();
      diagnostics.push_back(
          {{"range",
            {{"start", {{"line", 0}, {"character", 0}}}, {"end", {{"line", 0}, {"character", 0}}}}},
           {"severity", static_cast<int>(Severity::kError)},
           {"source", "movra"},
           {"message", "the document is " + std::to_string(document.text.size()) +
                           " bytes; movra-note lsp analyses models up to " +
                           std::to_string(kLargestDocument) + " bytes"}});
    } else {
      document.index = indexModel(document.text, document.path);
      for (const Diagnostic& d : diagnose(document.text, document.path, *document.index)) {
        diagnostics.push_back({{"range", range(*document.index, d.range)},
                               {"severity", static_cast<int>(d.severity)},
                               {"source", "movra"},
                               {"message", d.message}});
      }
    }
    send({{"jsonrpc", "2.0"},
          {"method", "textDocument/publishDiagnostics"},
          {"params", {{"uri", document.uri}, {"diagnostics", std::move(diagnostics)}}}});
  }

  static json position(const FileIndex& file, Position p) {
    const std::string_view line = p.line >= 0 && p.line < static_cast<int>(file.lines.size())
                                      ? std::string_view(file.lines[static_cast<size_t>(p.line)])
                                      : std::string_view();
    return {{"line", p.line}, {"character", utf16Column(line, p.column)}};
  }

  static json range(const FileIndex& file, const Range& r) {
    return {{"start", position(file, r.start)}, {"end", position(file, r.end)}};
  }

  static Position at(const Document& document, const json& params) {
    const json& p = params.at("position");
    const int line = p.at("line");
    const int character = p.at("character");
    const FileIndex& file = *document.index;
    const std::string_view text = line >= 0 && line < static_cast<int>(file.lines.size())
                                      ? std::string_view(file.lines[static_cast<size_t>(line)])
                                      : std::string_view();
    return {line, byteColumn(text, character)};
  }

  json hover(const json& params) {
    const Document& document = analysed(params);
    const auto text = hoverAt(*document.index, at(document, params));
    if (!text) return nullptr;
    return {{"contents", {{"kind", "markdown"}, {"value", text->markdown}}},
            {"range", range(*document.index, text->range)}};
  }

  // Snippet placeholders as plain names for clients that do not expand snippets.
  static std::string plain(const std::string& snippet) {
    static const std::regex placeholder(R"(\$\{\d+:([^}]*)\}|\$\d+)");
    return std::regex_replace(snippet, placeholder, "$1");
  }

  json completion(const json& params) {
    const Document& document = analysed(params);
    json items = json::array();
    for (const Completion& c : completionsAt(*document.index, at(document, params))) {
      int kind = kLspKeyword;
      switch (c.kind) {
        case CompletionKind::kKeyword:
          kind = kLspKeyword;
          break;
        case CompletionKind::kNode:
          kind = kLspVariable;
          break;
        case CompletionKind::kValue:
          kind = kLspValue;
          break;
        case CompletionKind::kFunction:
          kind = kLspFunction;
          break;
        case CompletionKind::kUnit:
          kind = kLspUnit;
          break;
      }
      const bool snippet = c.snippet && snippets_;
      items.push_back({{"label", c.label},
                       {"kind", kind},
                       {"detail", c.detail},
                       {"insertText", snippet || !c.snippet ? c.insertText : plain(c.insertText)},
                       {"insertTextFormat", snippet ? 2 : 1}});
    }
    return {{"isIncomplete", false}, {"items", std::move(items)}};
  }

  std::string uriOf(const Document& document, const FileIndex* file) const {
    return file == document.index.get() ? document.uri : uriOfPath(file->path);
  }

  json locations(const json& params, bool references, bool withDefinition) {
    const Document& document = analysed(params);
    const Position p = at(document, params);
    const std::vector<Location> found = references
                                            ? referencesAt(*document.index, p, withDefinition)
                                            : definitionAt(*document.index, p);
    json out = json::array();
    for (const Location& l : found) {
      out.push_back({{"uri", uriOf(document, l.file)}, {"range", range(*l.file, l.range)}});
    }
    return out;
  }

  static int symbolKind(OutlineKind kind) {
    switch (kind) {
      case OutlineKind::kGroup:
        return kLspNamespace;
      case OutlineKind::kElement:
        return kLspObject;
      case OutlineKind::kPosition:
        return kLspConstant;
      case OutlineKind::kTable:
      case OutlineKind::kSupportSet:
        return kLspArray;
      case OutlineKind::kFunction:
        return kLspFunctionSymbol;
      case OutlineKind::kTime:
        return kLspEvent;
      case OutlineKind::kCommand:
        return kLspOperator;
      case OutlineKind::kInclude:
        return kLspFile;
      case OutlineKind::kOther:
        return kLspKey;
    }
    return kLspKey;
  }

  static json symbol(const FileIndex& file, const OutlineSymbol& s) {
    json children = json::array();
    for (const OutlineSymbol& child : s.children) children.push_back(symbol(file, child));
    json out = {{"name", s.name},
                {"kind", symbolKind(s.kind)},
                {"range", range(file, s.range)},
                {"selectionRange", range(file, s.selectionRange)},
                {"children", std::move(children)}};
    if (!s.detail.empty()) out["detail"] = s.detail;
    return out;
  }

  json symbols(const json& params) {
    const Document& document = analysed(params);
    json out = json::array();
    for (const OutlineSymbol& s : documentSymbols(*document.index))
      out.push_back(symbol(*document.index, s));
    return out;
  }

  std::ostream& out_;
  std::ostream& log_;
  std::map<std::string, Document> documents_;
  bool initialized_ = false;
  bool shutdown_ = false;
  bool exited_ = false;
  bool snippets_ = false;
};

}  // namespace

int serve(std::istream& in, std::ostream& out, std::ostream& log) {
  Server server(out, log);
  while (!server.exited()) {
    const Frame frame = readFrame(in, kLargestMessage);
    if (frame.status == Frame::Status::kEnd) break;
    server.onFrame(frame);
  }
  return server.exitCode();
}

}  // namespace movra::language::lsp
