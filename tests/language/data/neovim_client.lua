-- Run by neovim_client_test in "nvim --headless": opens a model with movra-note lsp
-- as its language server (Neovim 0.7's own client), types a mistake, asks for a
-- hover, mends the mistake, and writes what the client received to MOVRA_OUT.
local server = os.getenv("MOVRA_NOTE")
local model = os.getenv("MOVRA_MODEL")
local out = assert(io.open(os.getenv("MOVRA_OUT"), "w"))
local line = tonumber(os.getenv("MOVRA_LINE"))  -- 0-based line to spoil and mend
local spoiled = os.getenv("MOVRA_SPOILED")
-- The waits only keep a broken server from hanging the test; nothing is timed.
local patience = 30000

local function report(...)
  out:write(table.concat({...}, " "), "\n")
end

local function main()
  vim.cmd("edit " .. vim.fn.fnameescape(model))
  vim.bo.filetype = "movra"
  local buf = vim.api.nvim_get_current_buf()
  local publishes = 0
  local id = vim.lsp.start_client({
    name = "movra",
    cmd = { server, "lsp" },
    root_dir = vim.fn.fnamemodify(model, ":p:h"),
    handlers = {
      ["textDocument/publishDiagnostics"] = function(err, result, ctx, config)
        vim.lsp.diagnostic.on_publish_diagnostics(err, result, ctx, config)
        publishes = publishes + 1
      end,
    },
  })
  vim.lsp.buf_attach_client(buf, id)
  local function diagnostics(label, wanted)
    vim.wait(patience, function() return publishes >= wanted end, 10)
    local all = vim.diagnostic.get(buf)
    report(label, #all)
    for _, d in ipairs(all) do
      report("diagnostic", d.lnum, d.col, d.end_col, d.severity, (d.message:gsub("\n", " ")))
    end
  end

  diagnostics("opened", 1)
  local original = vim.api.nvim_buf_get_lines(buf, line, line + 1, true)[1]
  vim.api.nvim_buf_set_lines(buf, line, line + 1, true, { spoiled })
  diagnostics("spoiled", 2)

  local results = vim.lsp.buf_request_sync(buf, "textDocument/hover", {
    textDocument = { uri = vim.uri_from_bufnr(buf) },
    position = { line = line, character = 0 },
  }, patience)
  for _, r in pairs(results or {}) do
    if r.result then report("hover", (r.result.contents.value:gsub("\n", " "))) end
  end

  vim.api.nvim_buf_set_lines(buf, line, line + 1, true, { original })
  diagnostics("mended", 3)
  vim.lsp.stop_client(id)
  vim.wait(patience, function() return vim.lsp.get_client_by_id(id) == nil end, 10)
  report("stopped")
end

local ok, problem = pcall(main)
if not ok then report("error", tostring(problem)) end
out:close()
vim.cmd("qa!")
