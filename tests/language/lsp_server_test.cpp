// "movra-note lsp" driven over pipes with real protocol messages, the way an editor
// drives it, including the messages an editor should never send.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>

#include "language/lsp/protocol.h"
#include "language/lsp/server.h"

namespace movra::language::lsp {
namespace {

using json = nlohmann::json;

// The server as a child process with its standard input and output on pipes.
class ServerProcess {
 public:
  ServerProcess() {
    int in[2], out[2];
    EXPECT_EQ(pipe(in), 0);
    EXPECT_EQ(pipe(out), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, in[1]);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    const std::string program = std::string(MOVRA_BINARY_DIR) + "/bin/movra-note";
    char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>("lsp"), nullptr};
    EXPECT_EQ(posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv, environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    toServer_ = fdopen(in[1], "wb");
    fromServer_ = fdopen(out[0], "rb");
  }
  ~ServerProcess() {
    if (toServer_ != nullptr) std::fclose(toServer_);
    if (fromServer_ != nullptr) std::fclose(fromServer_);
    if (pid_ > 0 && !waited_) waitpid(pid_, nullptr, 0);
  }

  void sendRaw(const std::string& bytes) {
    std::fwrite(bytes.data(), 1, bytes.size(), toServer_);
    std::fflush(toServer_);
  }
  void send(const json& message) {
    const std::string body = message.dump();
    sendRaw("Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
  }
  void request(int id, const std::string& method, const json& params) {
    send({{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", params}});
  }
  void notify(const std::string& method, const json& params) {
    send({{"jsonrpc", "2.0"}, {"method", method}, {"params", params}});
  }

  // The next message; a discarded json at the end of the output.
  json next() {
    size_t length = 0;
    char line[256];
    while (std::fgets(line, sizeof line, fromServer_) != nullptr) {
      const std::string header(line);
      if (header == "\r\n") break;
      if (header.starts_with("Content-Length: ")) length = std::stoul(header.substr(16));
    }
    if (length == 0) return json::value_t::discarded;
    std::string body(length, '\0');
    if (std::fread(body.data(), 1, length, fromServer_) != length) return json::value_t::discarded;
    return json::parse(body);
  }

  // Messages are read until one is the response to id (or, with a method, that
  // notification); what came before is passed over.
  json response(const json& id) {
    for (json m = next(); !m.is_discarded(); m = next()) {
      if (!m.contains("method") && m.contains("id") && m["id"] == id) return m;
    }
    ADD_FAILURE() << "the server ended before answering " << id;
    return json::value_t::discarded;
  }
  json notification(const std::string& method) {
    for (json m = next(); !m.is_discarded(); m = next()) {
      if (m.value("method", "") == method) return m;
    }
    ADD_FAILURE() << "the server ended before sending " << method;
    return json::value_t::discarded;
  }

  int exitStatus() {
    std::fclose(toServer_);
    toServer_ = nullptr;
    int status = 0;
    waitpid(pid_, &status, 0);
    waited_ = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t pid_ = 0;
  bool waited_ = false;
  FILE* toServer_ = nullptr;
  FILE* fromServer_ = nullptr;
};

json position(int line, int character) {
  return {{"line", line}, {"character", character}};
}

json textAt(const std::string& uri, int line, int character) {
  return {{"textDocument", {{"uri", uri}}}, {"position", position(line, character)}};
}

TEST(LspServer, ASessionFromInitializeToExit) {
  ServerProcess server;
  server.request(
      1, "initialize",
      {{"processId", nullptr},
       {"rootUri", nullptr},
       {"capabilities",
        {{"textDocument", {{"completion", {{"completionItem", {{"snippetSupport", true}}}}}}}}}});
  const json init = server.response(1);
  ASSERT_TRUE(init.contains("result")) << init.dump();
  EXPECT_EQ(init["result"]["capabilities"]["textDocumentSync"]["change"], 2);
  for (const char* provider : {"hoverProvider", "definitionProvider", "referencesProvider",
                               "documentSymbolProvider", "completionProvider"}) {
    EXPECT_TRUE(init["result"]["capabilities"].contains(provider)) << provider;
  }
  server.notify("initialized", json::object());

  // A comment in Japanese before the mistake: columns are counted in UTF-16 units.
  const std::string uri = "file:///tmp/movra%20lsp/circuit.model";
  const std::string text =
      "V 1 0, 5, 0 // \xE9\x9B\xBB\xE6\xBA\x90\n"  // 電源
      "Rx 1 2, 1k\n"
      "C 2 0, 1u \xE2\x80\x94 2\n";  // an em dash where a comment was meant
  server.notify(
      "textDocument/didOpen",
      {{"textDocument", {{"uri", uri}, {"languageId", "movra"}, {"version", 1}, {"text", text}}}});
  json published = server.notification("textDocument/publishDiagnostics");
  EXPECT_EQ(published["params"]["uri"], uri);
  const json& first = published["params"]["diagnostics"];
  ASSERT_EQ(first.size(), 2u) << first.dump();
  EXPECT_EQ(first[0]["range"], json({{"start", position(1, 0)}, {"end", position(1, 2)}}));
  EXPECT_EQ(first[0]["severity"], 1);
  EXPECT_NE(first[0]["message"].get<std::string>().find("'R'"), std::string::npos);
  EXPECT_EQ(first[1]["range"]["start"]["line"], 2);

  // Two incremental edits mend both lines.
  server.notify(
      "textDocument/didChange",
      {{"textDocument", {{"uri", uri}, {"version", 2}}},
       {"contentChanges",
        {{{"range", {{"start", position(1, 0)}, {"end", position(1, 2)}}}, {"text", "R"}},
         {{"range", {{"start", position(2, 9)}, {"end", position(2, 13)}}}, {"text", ""}}}}});
  published = server.notification("textDocument/publishDiagnostics");
  EXPECT_TRUE(published["params"]["diagnostics"].empty()) << published.dump();

  // Hover on the keyword after the edit, and on the Japanese comment's line.
  server.request(2, "textDocument/hover", textAt(uri, 1, 0));
  const json hover = server.response(2);
  EXPECT_NE(hover["result"]["contents"]["value"].get<std::string>().find("resistor"),
            std::string::npos);
  EXPECT_EQ(hover["result"]["range"]["end"], position(1, 1));
  server.request(3, "textDocument/definition", textAt(uri, 2, 2));  // node 2 of C
  const json definition = server.response(3);
  ASSERT_EQ(definition["result"].size(), 1u);
  EXPECT_EQ(definition["result"][0]["range"]["start"], position(1, 4));
  server.request(4, "textDocument/documentSymbol", {{"textDocument", {{"uri", uri}}}});
  EXPECT_EQ(server.response(4)["result"][0]["children"].size(), 3u);
  server.request(5, "textDocument/completion", textAt(uri, 1, 7));
  const json completion = server.response(5);
  EXPECT_FALSE(completion["result"]["items"].empty());

  // What no editor should send: the server answers each and carries on.
  server.sendRaw("Content-Length: 9\r\n\r\n{\"jsonrpc");
  EXPECT_EQ(server.response(nullptr)["error"]["code"], -32700);
  server.sendRaw("Content-Length: many\r\n\r\n");
  EXPECT_EQ(server.response(nullptr)["error"]["code"], -32700);
  server.send({{"jsonrpc", "2.0"}, {"id", 6}});
  EXPECT_EQ(server.response(6)["error"]["code"], -32600);
  server.request(7, "textDocument/formatting", {{"textDocument", {{"uri", uri}}}});
  const json unknown = server.response(7);
  EXPECT_EQ(unknown["error"]["code"], -32601);
  EXPECT_NE(unknown["error"]["message"].get<std::string>().find("textDocument/formatting"),
            std::string::npos);
  server.notify("workspace/somethingNew", json::object());
  server.request(8, "textDocument/hover", {{"textDocument", {{"uri", uri}}}});  // no position
  EXPECT_EQ(server.response(8)["error"]["code"], -32602);
  server.request(9, "textDocument/hover", textAt("file:///never/opened.model", 0, 0));
  EXPECT_EQ(server.response(9)["error"]["code"], -32602);

  // A huge document: one diagnostic saying why, and requests on it refused in words.
  const std::string huge = "huge.model";
  std::string hugeText;
  while (hugeText.size() <= kLargestDocument)
    hugeText += "R 1 2, 1k // a line of a very long model\n";
  server.notify("textDocument/didOpen", {{"textDocument",
                                          {{"uri", "file:///tmp/" + huge},
                                           {"languageId", "movra"},
                                           {"version", 1},
                                           {"text", hugeText}}}});
  published = server.notification("textDocument/publishDiagnostics");
  ASSERT_EQ(published["params"]["diagnostics"].size(), 1u);
  EXPECT_NE(published["params"]["diagnostics"][0]["message"].get<std::string>().find(
                "analyses models up to"),
            std::string::npos);
  server.request(10, "textDocument/hover", textAt("file:///tmp/" + huge, 0, 0));
  const json refused = server.response(10);
  EXPECT_EQ(refused["error"]["code"], -32803);

  // Still serving the first document after all that.
  server.request(11, "textDocument/hover", textAt(uri, 0, 0));
  EXPECT_NE(
      server.response(11)["result"]["contents"]["value"].get<std::string>().find("voltage source"),
      std::string::npos);

  // A change without a range replaces the whole text.
  server.notify("textDocument/didChange",
                {{"textDocument", {{"uri", uri}, {"version", 3}}},
                 {"contentChanges", {{{"text", "R 1 0, 1k\nQx 1 0\n"}}}}});
  published = server.notification("textDocument/publishDiagnostics");
  ASSERT_EQ(published["params"]["diagnostics"].size(), 1u);
  EXPECT_EQ(published["params"]["diagnostics"][0]["range"]["start"], position(1, 0));

  server.request(12, "shutdown", nullptr);
  EXPECT_TRUE(server.response(12)["result"].is_null());
  server.request(13, "textDocument/hover", textAt(uri, 0, 0));
  EXPECT_EQ(server.response(13)["error"]["code"], -32600);
  server.notify("exit", nullptr);
  EXPECT_EQ(server.exitStatus(), 0);
}

TEST(LspServer, ExitWithoutShutdownAndRequestsBeforeInitialize) {
  ServerProcess server;
  server.request(1, "textDocument/hover", textAt("file:///a.model", 0, 0));
  EXPECT_EQ(server.response(1)["error"]["code"], -32002);
  server.notify("exit", nullptr);
  EXPECT_EQ(server.exitStatus(), 1);
}

TEST(LspProtocol, ColumnsAndUris) {
  const std::string line = "a\xC3\xA9\xE9\x9B\xBB\xF0\x9F\x98\x80z";  // a é 電 😀 z
  struct Case {
    int bytes;
    int units;
  } cases[] = {{0, 0}, {1, 1}, {3, 2}, {6, 3}, {10, 5}, {11, 6}};
  for (const Case& c : cases) {
    EXPECT_EQ(utf16Column(line, c.bytes), c.units) << c.bytes;
    EXPECT_EQ(byteColumn(line, c.units), c.bytes) << c.units;
  }
  EXPECT_EQ(byteColumn(line, 99), 11);
  EXPECT_EQ(offsetOf("ab\ncd\n", 1, 1), 4u);
  EXPECT_EQ(offsetOf("ab\ncd\n", 7, 0), 6u);
  EXPECT_EQ(pathOfUri("file:///a%20b/c%C3%A9.model"), "/a b/c\xC3\xA9.model");
  EXPECT_EQ(uriOfPath("/a b/c\xC3\xA9.model"), "file:///a%20b/c%C3%A9.model");
  EXPECT_FALSE(pathOfUri("untitled:1").has_value());
}

}  // namespace
}  // namespace movra::language::lsp
