#include "note/dump_json.h"

namespace movra::note {

namespace {

int fileLineOf(const HandOverImage& image, int record) {
  if (record < 0 || record >= static_cast<int>(image.recordFileLine.size())) return 0;
  return image.recordFileLine[record];
}

template <typename T>
void writeValues(JsonWriter& json, const T* values, int first, int last) {
  json.beginArray();
  for (int i = first; i <= last; ++i) json.value(values[i]);
  json.endArray();
}

template <typename T>
void writeArray(JsonWriter& json, std::string_view name, const T* values, int first, int last) {
  json.key(name);
  writeValues(json, values, first, last);
}

void writeMessages(const ReadOutcome& outcome, JsonWriter& json) {
  json.key("messages");
  json.beginArray();
  for (const ReaderMessage& message : outcome.messages) {
    json.beginObject();
    json.field("text", message.text);
    json.field("record", message.record);
    json.field("line", message.fileLine);
    json.endObject();
  }
  json.endArray();
}

void writeRecords(const Model& model, const HandOverImage& image, JsonWriter& json) {
  json.key("records");
  json.beginArray();
  for (int r = 0; r <= model.lastRecordIndex; ++r) {
    const StatementRecord& record = model.records[r];
    json.beginObject();
    json.field("index", r);
    json.field("line", fileLineOf(image, r));
    json.field("type", record.typeCode);
    json.key("nodes");
    json.beginArray();
    json.value(record.firstNode);
    json.value(record.secondNode);
    json.value(record.thirdNode);
    json.endArray();
    json.field("continuation", record.continuationCount);
    json.field("echo_flag", record.echoFlag);
    json.field("element", record.elementNumber);
    json.field("parameter_statement", record.parameterStatementNumber);
    json.field("drawing", static_cast<const char*>(record.drawingAnnotation));
    json.field("transcription", static_cast<const char*>(record.transcriptionAnnotation));
    json.field("output", static_cast<const char*>(record.outputAnnotation));
    json.field("flags", record.flags);
    json.key("fields");
    json.beginArray();
    for (int k = 1; k <= kFieldCount; ++k) {
      if (record.fieldPresent[k] == 0) continue;
      json.beginObject();
      json.field("k", k);
      json.field("text", static_cast<const char*>(record.fieldText[k]));
      json.endObject();
    }
    json.endArray();
    json.field("block", static_cast<const char*>(record.blockText));
    json.field("echo", static_cast<const char*>(record.echoText));
    json.endObject();
  }
  json.endArray();
}

void writeElements(const Model& model, const HandOverImage& image, JsonWriter& json) {
  json.key("elements");
  json.beginArray();
  for (int e = 1; e <= model.count.elements; ++e) {
    const ElementEntry& element = model.elements[e];
    json.beginObject();
    json.field("number", e);
    json.field("record", element.statementLine);
    json.field("line", fileLineOf(image, element.statementLine));
    json.field("type", element.typeCode);
    json.field("keyword", static_cast<const char*>(element.keyword));
    json.field("kind_code", element.kindCode);
    writeArray(json, "nodes", element.node, 1, 3);
    writeArray(json, "written_nodes", element.writtenNode, 1, 3);
    writeArray(json, "marks", element.terminalMark, 1, 3);
    writeArray(json, "params", element.realSlots, 1, 10);
    writeArray(json, "given", element.given, 1, 10);
    writeArray(json, "empty", element.empty, 1, 10);
    json.field("table_id", element.tableId);
    json.field("support_set", element.supportSetId);
    json.field("first_state_slot", element.firstStateSlot);
    json.field("p_variant", element.pVariant);
    json.field("drawing_mode", element.drawingMode);
    json.field("return_block", element.returnBlockId);
    json.key("group");
    json.beginArray();
    json.value(element.groupFirst);
    json.value(element.groupLast);
    json.endArray();
    json.field("mode", element.mode);
    writeArray(json, "keys", element.variableSlots, 1, 10);
    // The rigid joint's x, y and angle release flags.
    if (element.typeCode == 17) {
      writeArray(json, "released", element.variableSlots, kReleaseFlagSlot, kReleaseFlagSlot + 2);
    }
    json.endObject();
  }
  json.endArray();
}

void writeParameterStatements(const Model& model, const HandOverImage& image, JsonWriter& json) {
  json.key("parameter_statements");
  json.beginArray();
  for (int p = 1; p <= model.count.parameterStatements; ++p) {
    const ParameterStatement& statement = model.parameterStatements[p];
    json.beginObject();
    json.field("number", p);
    json.field("type", statement.typeCode);
    json.field("record", statement.statementLine);
    json.field("line", fileLineOf(image, statement.statementLine));
    json.field("id", statement.id);
    writeArray(json, "return_values", statement.returnValueIds, 1, statement.returnValueCount);
    json.key("rows");
    json.beginArray();
    for (int row = 0; row < statement.rowCount; ++row) {
      const int poolRow = statement.firstPoolRow + row;
      if (poolRow < 0 || poolRow >= kParameterRowPool) break;
      writeValues(json, model.parameterRows[poolRow], 0, kParameterColumns - 1);
    }
    json.endArray();
    json.endObject();
  }
  json.endArray();
}

void writeOutputs(const Model& model, JsonWriter& json) {
  json.key("output_list");
  json.beginArray();
  for (int i = 1; i <= model.count.outputs && i <= kOutputListLimit; ++i) {
    const OutputItem& item = model.outputs[i];
    json.beginObject();
    json.field("item", i);
    json.field("slot", item.slot);
    json.field("digit", item.componentDigit);
    json.field("name", static_cast<const char*>(item.name));
    json.field("group", item.group);
    json.key("range");
    if (item.hasRange) {
      json.beginArray();
      json.value(item.rangeLow);
      json.value(item.rangeHigh);
      json.endArray();
    } else {
      json.null();
    }
    json.field("element", item.element);
    json.endObject();
  }
  json.endArray();

  json.key("groups");
  json.beginArray();
  for (int g = 1; g <= model.count.commandStatements; ++g) {
    const DisplayGroup& group = model.groups[g];
    json.beginObject();
    json.field("number", g);
    json.field("kind", group.kind);
    json.field("text", static_cast<const char*>(group.text));
    json.field("first_item", group.firstItem);
    json.field("last_item", group.lastItem);
    json.endObject();
  }
  json.endArray();
}

void writeNodes(const Model& model, JsonWriter& json) {
  json.key("nodes");
  json.beginArray();
  for (int n = 0; n < kNodeCount; ++n) {
    const NodeTables& nodes = model.nodes;
    if (nodes.kind[n] == 0 && nodes.x[n] == 0.0 && nodes.y[n] == 0.0) continue;
    json.beginObject();
    json.field("id", n);
    json.field("x", nodes.x[n]);
    json.field("y", nodes.y[n]);
    json.field("kind", static_cast<int>(nodes.kind[n]));
    json.field("map", static_cast<int>(nodes.nodeMap[n]));
    json.endObject();
  }
  json.endArray();
}

}  // namespace

void writeModelJson(const Model& model, const HandOverImage& image, const ReadOutcome& outcome,
                    JsonWriter& json) {
  json.beginObject();
  json.field("status", outcome.textStatus != 0 ? outcome.textStatus : outcome.statementStatus);
  writeMessages(outcome, json);
  writeRecords(model, image, json);
  writeElements(model, image, json);
  writeParameterStatements(model, image, json);
  writeOutputs(model, json);
  writeArray(json, "time_conditions", model.timeConditions, 1, kTimeConditionCount);
  writeNodes(model, json);
  json.endObject();
}

}  // namespace movra::note
