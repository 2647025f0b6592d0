// Field order of every message; decoders validate counts, kinds and table sizes before allocating.
#include "wire/wire_messages.h"

namespace rfcwire {
namespace {

void PutValues(PayloadWriter &writer, const std::vector<Value> &values) {
  writer.U32(static_cast<std::uint32_t>(values.size()));
  for (const Value &value : values) {
    writer.Name(value.name);
    writer.U8(static_cast<std::uint8_t>(value.kind));
    writer.Blob(value.bytes);
  }
}

void PutTables(PayloadWriter &writer, const std::vector<Table> &tables) {
  writer.U32(static_cast<std::uint32_t>(tables.size()));
  for (const Table &table : tables) {
    writer.Name(table.name);
    writer.U32(table.line_length);
    writer.U32(table.rows);
    writer.Raw(table.data);
  }
}

bool GetCount(PayloadReader &reader, const char *what, std::uint32_t &count) {
  if (!reader.U32(count)) {
    return false;
  }
  if (count > kMaxListEntries) {
    return reader.Fail(std::string(what) + " count " + std::to_string(count) +
                       " exceeds the limit of " + std::to_string(kMaxListEntries));
  }
  return true;
}

bool GetValues(PayloadReader &reader, std::vector<Value> &values) {
  std::uint32_t count = 0;
  if (!GetCount(reader, "parameter", count)) {
    return false;
  }
  values.clear();
  for (std::uint32_t i = 0; i < count; ++i) {
    Value value;
    std::uint8_t kind = 0;
    if (!reader.Name(value.name) || !reader.U8(kind) || !reader.Blob(value.bytes)) {
      return false;
    }
    if (kind > static_cast<std::uint8_t>(ValueKind::Integer)) {
      return reader.Fail("parameter " + value.name + " has unknown kind " + std::to_string(kind));
    }
    value.kind = static_cast<ValueKind>(kind);
    if (value.kind == ValueKind::Integer && value.bytes.size() != 4) {
      return reader.Fail("integer parameter " + value.name + " has " +
                         std::to_string(value.bytes.size()) + " bytes instead of 4");
    }
    values.push_back(std::move(value));
  }
  return true;
}

// Table rows are only located here; the caller decides whether to copy them.
bool GetTables(PayloadReader &reader, std::vector<TableView> &tables) {
  std::uint32_t count = 0;
  if (!GetCount(reader, "table", count)) {
    return false;
  }
  tables.clear();
  for (std::uint32_t i = 0; i < count; ++i) {
    TableView table;
    if (!reader.Name(table.name) || !reader.U32(table.line_length) || !reader.U32(table.rows)) {
      return false;
    }
    if (table.line_length == 0 || table.line_length > kMaxLineLength) {
      return reader.Fail("table " + table.name + " has line length " +
                         std::to_string(table.line_length) + ", outside 1.." +
                         std::to_string(kMaxLineLength));
    }
    if (table.rows > kMaxTableRows) {
      return reader.Fail("table " + table.name + " claims " + std::to_string(table.rows) +
                         " rows, more than the limit of " + std::to_string(kMaxTableRows));
    }
    // 64-bit product: rows and line length are each 32 bits and must not wrap.
    const std::uint64_t size = std::uint64_t{table.line_length} * table.rows;
    if (size > reader.Left()) {
      return reader.Fail("table " + table.name + " claims " + std::to_string(table.rows) +
                         " rows of " + std::to_string(table.line_length) + " bytes but only " +
                         std::to_string(reader.Left()) + " bytes follow");
    }
    if (!reader.View(static_cast<std::size_t>(size), table.data)) {
      return false;
    }
    tables.push_back(std::move(table));
  }
  return true;
}

bool GetTables(PayloadReader &reader, std::vector<Table> &tables) {
  std::vector<TableView> views;
  if (!GetTables(reader, views)) {
    return false;
  }
  tables.clear();
  tables.reserve(views.size());
  for (TableView &view : views) {
    tables.push_back(Table{
        std::move(view.name), view.line_length, view.rows, {view.data.begin(), view.data.end()}});
  }
  return true;
}

Frame Make(MessageType type, PayloadWriter &writer) {
  Frame frame;
  frame.type = type;
  frame.payload = writer.Take();
  return frame;
}

bool Finish(PayloadReader &reader, bool ok, std::string &problem) {
  if (ok && reader.Finish()) {
    return true;
  }
  problem = reader.Problem();
  return false;
}

} // namespace

Frame Encode(const LogonRequest &message) {
  PayloadWriter writer;
  writer.Name(message.destination);
  writer.Name(message.client);
  writer.Name(message.user);
  writer.Name(message.password);
  writer.Name(message.language);
  return Make(MessageType::Logon, writer);
}

Frame Encode(const LogonAccepted &message) {
  PayloadWriter writer;
  writer.Name(message.system_id);
  return Make(MessageType::LogonAccepted, writer);
}

Frame Encode(const CallRequest &message) {
  PayloadWriter writer;
  writer.Name(message.function);
  PutValues(writer, message.exporting);
  PutTables(writer, message.tables);
  return Make(MessageType::Call, writer);
}

Frame Encode(const Reply &message) {
  PayloadWriter writer;
  PutValues(writer, message.importing);
  PutTables(writer, message.tables);
  return Make(MessageType::Reply, writer);
}

Frame Encode(MessageType type, const RaisedException &message) {
  PayloadWriter writer;
  writer.Name(message.name);
  writer.Text(message.text);
  return Make(type, writer);
}

Frame Encode(MessageType type, const Notice &message) {
  PayloadWriter writer;
  writer.Text(message.text);
  return Make(type, writer);
}

Frame EncodeEmpty(MessageType type) {
  PayloadWriter writer;
  return Make(type, writer);
}

bool Decode(const Frame &frame, LogonRequest &message, std::string &problem) {
  PayloadReader reader(frame.payload);
  const bool ok = reader.Name(message.destination) && reader.Name(message.client) &&
                  reader.Name(message.user) && reader.Name(message.password) &&
                  reader.Name(message.language);
  return Finish(reader, ok, problem);
}

bool Decode(const Frame &frame, LogonAccepted &message, std::string &problem) {
  PayloadReader reader(frame.payload);
  return Finish(reader, reader.Name(message.system_id), problem);
}

bool Decode(const Frame &frame, CallRequest &message, std::string &problem) {
  PayloadReader reader(frame.payload);
  bool ok = reader.Name(message.function) && GetValues(reader, message.exporting) &&
            GetTables(reader, message.tables);
  if (ok && message.function.empty()) {
    ok = reader.Fail("call names no function module");
  }
  return Finish(reader, ok, problem);
}

bool Decode(const Frame &frame, Reply &message, std::string &problem) {
  PayloadReader reader(frame.payload);
  const bool ok = GetValues(reader, message.importing) && GetTables(reader, message.tables);
  return Finish(reader, ok, problem);
}

bool Decode(const Frame &frame, ReplyView &message, std::string &problem) {
  PayloadReader reader(frame.payload);
  const bool ok = GetValues(reader, message.importing) && GetTables(reader, message.tables);
  return Finish(reader, ok, problem);
}

bool Decode(const Frame &frame, RaisedException &message, std::string &problem) {
  PayloadReader reader(frame.payload);
  bool ok = reader.Name(message.name) && reader.Text(message.text);
  if (ok && message.name.empty()) {
    ok = reader.Fail("exception without a name");
  }
  return Finish(reader, ok, problem);
}

bool Decode(const Frame &frame, Notice &message, std::string &problem) {
  PayloadReader reader(frame.payload);
  return Finish(reader, reader.Text(message.text), problem);
}

bool DecodeEmpty(const Frame &frame, std::string &problem) {
  PayloadReader reader(frame.payload);
  return Finish(reader, true, problem);
}

} // namespace rfcwire
