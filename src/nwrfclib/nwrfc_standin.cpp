// The NetWeaver RFC library stand-in: the client subset of the NetWeaver interface that the
// sensor's binding uses, with the library's record layouts and UTF-16 texts, over the wire
// protocol sapsim speaks. It holds the descriptions of the three function modules sapsim serves
// itself, plays a system with code page ISO 8859-1 (SAP's 1100), and, like SAP's library, has no
// call timeout of its own: a call waits until the system answers or RfcCancel ends it.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "rfcapi/nwrfc_api.h"
#include "wire/transport.h"
#include "wire/wire_channel.h"
#include "wire/wire_messages.h"

namespace {

using namespace std::chrono_literals;
using nwrfc::ErrorInfo;
using nwrfc::Rc;
using nwrfc::Unit;

/// Open gives up after this (the connect and the logon answer); SAP's library has limits of its
/// own in its network layer.
constexpr std::chrono::milliseconds kOpenLimit = 60s;
/// Once the first byte of an answer came, the rest of the frame must follow within this.
constexpr std::chrono::milliseconds kFrameLimit = 60s;
/// How often a waiting call looks whether it was cancelled.
constexpr std::chrono::milliseconds kCancelPoll = 50ms;
constexpr std::chrono::milliseconds kGoodbyeWait = 500ms;

// ---------------------------------------------------------------------------------------------
// Function descriptions of the modules sapsim serves, as the system's dictionary has them.

enum class Kind { Char, Num, Date, Time, Int, Structure, Table };
enum class Direction { Import, Export, Tables }; // as the function module sees them

struct FieldDesc {
  std::string_view name;
  Kind kind;
  unsigned length;
};

struct StructDesc {
  std::string_view name;
  std::vector<FieldDesc> fields;
  unsigned Length() const {
    unsigned length = 0;
    for (const FieldDesc &field : fields)
      length += field.length;
    return length;
  }
};

struct ParamDesc {
  std::string_view name;
  Direction direction;
  Kind kind;
  unsigned length;
  const StructDesc *type = nullptr;
};

struct FunctionDesc {
  std::string_view name;
  std::vector<ParamDesc> params;
};

const StructDesc kRfcsi{"RFCSI",
                        {{"RFCPROTO", Kind::Char, 3},
                         {"RFCCHARTYP", Kind::Char, 4},
                         {"RFCINTTYP", Kind::Char, 3},
                         {"RFCFLOTYP", Kind::Char, 3},
                         {"RFCDEST", Kind::Char, 32},
                         {"RFCHOST", Kind::Char, 8},
                         {"RFCSYSID", Kind::Char, 8},
                         {"RFCDATABS", Kind::Char, 8},
                         {"RFCDBHOST", Kind::Char, 32},
                         {"RFCDBSYS", Kind::Char, 10},
                         {"RFCSAPRL", Kind::Char, 4},
                         {"RFCMACH", Kind::Char, 5},
                         {"RFCOPSYS", Kind::Char, 10},
                         {"RFCTZONE", Kind::Char, 6},
                         {"RFCDAYST", Kind::Char, 1},
                         {"RFCIPADDR", Kind::Char, 15},
                         {"RFCKERNRL", Kind::Char, 4},
                         {"RFCSI_RESV", Kind::Char, 44}}};
const StructDesc kDateTime{"DATE_TIME",
                           {{"MONI_DATE", Kind::Date, 8}, {"MONI_TIME", Kind::Time, 6}}};
const StructDesc kOraMiss{"ORA_MISS", {{"NAME", Kind::Char, 30}}};

const std::vector<FunctionDesc> &Catalog() {
  static const std::vector<FunctionDesc> catalog = {
      {"RFC_SYSTEM_INFO",
       {{"CURRENT_RESOURCES", Direction::Export, Kind::Int, 4},
        {"DIALOG_USER_TYPE", Direction::Export, Kind::Char, 1},
        {"MAXIMAL_RESOURCES", Direction::Export, Kind::Int, 4},
        {"RECOMMENDED_DELAY", Direction::Export, Kind::Int, 4},
        {"RFCSI_EXPORT", Direction::Export, Kind::Structure, 0, &kRfcsi},
        {"RFC_LOGIN_COMPLETE", Direction::Export, Kind::Char, 1}}},
      {"DB_ORA_MISSING_INDICES",
       {{"CURR_DATE", Direction::Export, Kind::Date, 8},
        {"CURR_TIME", Direction::Export, Kind::Time, 6},
        {"DATETIME", Direction::Export, Kind::Structure, 0, &kDateTime},
        {"INDEX_NOT_DEFINED", Direction::Tables, Kind::Table, 0, &kOraMiss},
        {"MISSING_INDEX", Direction::Tables, Kind::Table, 0, &kOraMiss}}},
      {"RFC_PING", {}},
  };
  return catalog;
}

// ---------------------------------------------------------------------------------------------
// Text: names are ASCII; values travel in the system's code page, ISO 8859-1.

std::string Latin1(std::u16string_view text) {
  std::string bytes;
  bytes.reserve(text.size());
  for (const char16_t unit : text)
    bytes.push_back(unit <= 0xFF ? static_cast<char>(unit) : '#');
  return bytes;
}

std::u16string Wide(std::string_view bytes) {
  std::u16string text;
  text.reserve(bytes.size());
  for (const char c : bytes)
    text.push_back(static_cast<unsigned char>(c));
  return text;
}

std::u16string_view Terminated(const Unit *text) {
  if (text == nullptr) return {};
  std::size_t length = 0;
  while (text[length] != 0)
    ++length;
  return std::u16string_view(text, length);
}

std::string Upper(std::string text) {
  for (char &c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

Rc Fill(ErrorInfo *error, Rc code, nwrfc::Group group, std::u16string_view key,
        std::string_view message) {
  if (error == nullptr) return code;
  *error = ErrorInfo{};
  error->code = code;
  error->group = group;
  const std::u16string text = Wide(message);
  std::copy_n(key.begin(), std::min(key.size(), std::size(error->key) - 1), error->key);
  std::copy_n(text.begin(), std::min(text.size(), std::size(error->message) - 1), error->message);
  return code;
}

Rc Ok(ErrorInfo *error) {
  if (error) *error = ErrorInfo{};
  return nwrfc::kOk;
}

Rc BadHandle(ErrorInfo *error, std::string_view what) {
  return Fill(error, nwrfc::kInvalidHandle, nwrfc::kGroupExternalRuntimeFailure,
              u"RFC_INVALID_HANDLE",
              std::string("An invalid handle was passed: ") + std::string(what));
}

Rc BadParameter(ErrorInfo *error, std::string message) {
  return Fill(error, nwrfc::kInvalidParameter, nwrfc::kGroupExternalRuntimeFailure,
              u"RFC_INVALID_PARAMETER", message);
}

// ---------------------------------------------------------------------------------------------
// Data containers: a function, the structures in it, its tables and their rows. Handles are
// numbers never used twice, so a stale handle is told from a live one.

struct Node;

struct Field {
  Kind kind = Kind::Char;
  unsigned length = 0;
  std::u16string chars;
  std::int32_t integer = 0;
  std::unique_ptr<Node> child; // a structure or a table
  bool set = false;
};

struct Node {
  enum class Type { Function, Structure, Table } type = Type::Structure;
  std::uintptr_t id = 0;
  const FunctionDesc *function = nullptr;
  const StructDesc *line = nullptr; // a structure's or a table row's description
  std::map<std::string, Field> fields;
  std::vector<std::unique_ptr<Node>> rows;
  std::size_t current = 0;
};

struct Connection {
  rfcwire::Socket socket;
  std::string partner;
  bool in_call = false;
  std::atomic<bool> cancelled{false};
};

struct State {
  std::mutex mutex;
  std::uintptr_t next_id = 1;
  std::map<std::uintptr_t, Node *> nodes;
  std::map<std::uintptr_t, std::unique_ptr<Connection>> connections;
};

State &Shared() {
  static State state;
  return state;
}

std::uintptr_t Id(nwrfc::Opaque *handle) { return reinterpret_cast<std::uintptr_t>(handle); }
nwrfc::Opaque *Handle(std::uintptr_t id) { return reinterpret_cast<nwrfc::Opaque *>(id); }

void Register(State &state, Node &node) {
  node.id = state.next_id++;
  state.nodes[node.id] = &node;
}

void Unregister(State &state, Node &node) {
  state.nodes.erase(node.id);
  for (auto &[name, field] : node.fields) {
    if (field.child) Unregister(state, *field.child);
  }
  for (auto &row : node.rows)
    Unregister(state, *row);
}

Field MakeField(State &state, Kind kind, unsigned length, const StructDesc *type);

std::unique_ptr<Node> MakeStructure(State &state, const StructDesc &desc) {
  auto node = std::make_unique<Node>();
  node->type = Node::Type::Structure;
  node->line = &desc;
  Register(state, *node);
  for (const FieldDesc &field : desc.fields)
    node->fields[std::string(field.name)] = MakeField(state, field.kind, field.length, nullptr);
  return node;
}

Field MakeField(State &state, Kind kind, unsigned length, const StructDesc *type) {
  Field field;
  field.kind = kind;
  field.length = length;
  if (kind == Kind::Structure) {
    field.child = MakeStructure(state, *type);
  } else if (kind == Kind::Table) {
    field.child = std::make_unique<Node>();
    field.child->type = Node::Type::Table;
    field.child->line = type;
    Register(state, *field.child);
  } else if (kind != Kind::Int) {
    field.chars.assign(length, kind == Kind::Char ? u' ' : u'0');
  }
  return field;
}

Node *FindNode(State &state, nwrfc::Opaque *handle) {
  const auto found = state.nodes.find(Id(handle));
  return found == state.nodes.end() ? nullptr : found->second;
}

/// A field of a container: on a table, of its current row.
Rc FindField(State &state, nwrfc::Opaque *container, const Unit *name, Field *&field,
             ErrorInfo *error) {
  Node *node = FindNode(state, container);
  if (node == nullptr) return BadHandle(error, "data container");
  if (node->type == Node::Type::Table) {
    if (node->current >= node->rows.size())
      return Fill(error, nwrfc::kIllegalState, nwrfc::kGroupExternalRuntimeFailure,
                  u"RFC_ILLEGAL_STATE", "The table has no current row");
    node = node->rows[node->current].get();
  }
  const std::string key = Upper(Latin1(Terminated(name)));
  const auto found = node->fields.find(key);
  if (found == node->fields.end()) return BadParameter(error, "field '" + key + "' not found");
  field = &found->second;
  return nwrfc::kOk;
}

bool IsText(Kind kind) {
  return kind == Kind::Char || kind == Kind::Num || kind == Kind::Date || kind == Kind::Time;
}

bool ParseInt(std::u16string_view text, std::int32_t &value) {
  const std::string digits = Latin1(text);
  std::size_t begin = digits.find_first_not_of(' ');
  const std::size_t end = digits.find_last_not_of(' ');
  if (begin == std::string::npos) {
    value = 0;
    return true;
  }
  bool negative = false;
  if (digits[begin] == '-' || digits[begin] == '+') negative = digits[begin++] == '-';
  if (begin > end) return false;
  long long number = 0;
  for (std::size_t i = begin; i <= end; ++i) {
    if (digits[i] < '0' || digits[i] > '9') return false;
    number = number * 10 + (digits[i] - '0');
    if (number > 2147483648LL) return false;
  }
  number = negative ? -number : number;
  if (number > 2147483647LL) return false;
  value = static_cast<std::int32_t>(number);
  return true;
}

// ---------------------------------------------------------------------------------------------
// Values between containers and the wire.

void AppendField(std::vector<std::uint8_t> &bytes, const Field &field) {
  if (field.kind == Kind::Int) {
    const auto bits = static_cast<std::uint32_t>(field.integer);
    for (int shift = 24; shift >= 0; shift -= 8)
      bytes.push_back(static_cast<std::uint8_t>(bits >> shift));
    return;
  }
  std::string text = Latin1(field.chars);
  text.resize(field.length, ' ');
  bytes.insert(bytes.end(), text.begin(), text.end());
}

void AppendRecord(std::vector<std::uint8_t> &bytes, const Node &record) {
  for (const FieldDesc &desc : record.line->fields)
    AppendField(bytes, record.fields.at(std::string(desc.name)));
}

void TakeField(Field &field, const std::uint8_t *bytes, std::size_t size) {
  if (field.kind == Kind::Int) {
    std::uint32_t bits = 0;
    for (std::size_t i = 0; i < 4 && i < size; ++i)
      bits = (bits << 8) | bytes[i];
    field.integer = static_cast<std::int32_t>(bits);
    return;
  }
  field.chars = Wide(std::string_view(reinterpret_cast<const char *>(bytes),
                                      std::min<std::size_t>(size, field.length)));
  field.chars.resize(field.length, u' ');
}

void TakeRecord(Node &record, const std::uint8_t *bytes, std::size_t size) {
  std::size_t offset = 0;
  for (const FieldDesc &desc : record.line->fields) {
    if (offset >= size) break;
    TakeField(record.fields.at(std::string(desc.name)), bytes + offset,
              std::min<std::size_t>(desc.length, size - offset));
    offset += desc.length;
  }
}

rfcwire::CallRequest Request(const Node &function) {
  rfcwire::CallRequest request;
  request.function = std::string(function.function->name);
  for (const ParamDesc &param : function.function->params) {
    const Field &field = function.fields.at(std::string(param.name));
    if (param.direction == Direction::Import && field.set) {
      rfcwire::Value value;
      value.name = std::string(param.name);
      value.kind =
          param.kind == Kind::Int ? rfcwire::ValueKind::Integer : rfcwire::ValueKind::Bytes;
      if (param.kind == Kind::Structure)
        AppendRecord(value.bytes, *field.child);
      else
        AppendField(value.bytes, field);
      request.exporting.push_back(std::move(value));
    } else if (param.direction == Direction::Tables) {
      rfcwire::Table table;
      table.name = std::string(param.name);
      table.line_length = param.type->Length();
      table.rows = static_cast<std::uint32_t>(field.child->rows.size());
      for (const auto &row : field.child->rows)
        AppendRecord(table.data, *row);
      request.tables.push_back(std::move(table));
    }
  }
  return request;
}

void TakeReply(State &state, Node &function, const rfcwire::Reply &reply) {
  for (const rfcwire::Value &value : reply.importing) {
    const auto found = function.fields.find(Upper(value.name));
    if (found == function.fields.end()) continue; // the dictionary's version wins
    Field &field = found->second;
    if (field.kind == Kind::Structure)
      TakeRecord(*field.child, value.bytes.data(), value.bytes.size());
    else if (field.kind != Kind::Table)
      TakeField(field, value.bytes.data(), value.bytes.size());
  }
  for (const rfcwire::Table &table : reply.tables) {
    const auto found = function.fields.find(Upper(table.name));
    if (found == function.fields.end() || found->second.kind != Kind::Table) continue;
    Node &node = *found->second.child;
    for (auto &row : node.rows)
      Unregister(state, *row);
    node.rows.clear();
    node.current = 0;
    for (std::uint32_t row = 0; row < table.rows; ++row) {
      node.rows.push_back(MakeStructure(state, *node.line));
      TakeRecord(*node.rows.back(), table.data.data() + std::size_t{row} * table.line_length,
                 table.line_length);
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Network.

enum class Waited { Frame, Cancelled, Lost };

/// Waits for the next frame without a limit of its own, looking for a cancel in between.
Waited Await(Connection &connection, rfcwire::Received &received) {
  std::string detail;
  while (!connection.cancelled) {
    const rfcwire::IoResult ready = rfcwire::WaitReadable(connection.socket, kCancelPoll, detail);
    if (ready == rfcwire::IoResult::Timeout) continue;
    received = rfcwire::ReceiveFrame(connection.socket, rfcwire::Clock::now() + kFrameLimit);
    if (connection.cancelled) break;
    return received.status == rfcwire::ReceiveStatus::Ok ? Waited::Frame : Waited::Lost;
  }
  return Waited::Cancelled;
}

Rc LostConnection(const rfcwire::Received &received, ErrorInfo *error) {
  switch (received.status) {
  case rfcwire::ReceiveStatus::Malformed:
    return Fill(error, nwrfc::kInvalidProtocol, nwrfc::kGroupCommunicationFailure,
                u"RFC_INVALID_PROTOCOL", "malformed data from partner: " + received.detail);
  case rfcwire::ReceiveStatus::Closed:
    return Fill(error, nwrfc::kCommunicationFailure, nwrfc::kGroupCommunicationFailure,
                u"RFC_COMMUNICATION_FAILURE", "connection closed by partner");
  default:
    return Fill(error, nwrfc::kCommunicationFailure, nwrfc::kGroupCommunicationFailure,
                u"RFC_COMMUNICATION_FAILURE", "connection broken: " + received.detail);
  }
}

Rc Unexpected(ErrorInfo *error, std::string problem) {
  return Fill(error, nwrfc::kInvalidProtocol, nwrfc::kGroupCommunicationFailure,
              u"RFC_INVALID_PROTOCOL", "malformed data from partner: " + problem);
}

/// A failure notice of the system: its own text is what the user must see.
Rc SystemFailure(const rfcwire::Frame &frame, ErrorInfo *error) {
  rfcwire::Notice notice;
  std::string problem;
  if (!rfcwire::Decode(frame, notice, problem)) return Unexpected(error, problem);
  return Fill(error, nwrfc::kCommunicationFailure, nwrfc::kGroupCommunicationFailure,
              u"RFC_COMMUNICATION_FAILURE",
              notice.text.empty() ? "failure in the partner system" : notice.text);
}

/// The exchange of one call; the caller ends the connection on anything but kOk and an ABAP
/// exception.
Rc Exchange(State &state, Connection &connection, Node &function, ErrorInfo *error) {
  std::string detail;
  const rfcwire::IoResult sent =
      rfcwire::SendFrame(connection.socket, rfcwire::Encode(Request(function)),
                         rfcwire::Clock::now() + kFrameLimit, detail);
  if (sent != rfcwire::IoResult::Done)
    return Fill(error, nwrfc::kCommunicationFailure, nwrfc::kGroupCommunicationFailure,
                u"RFC_COMMUNICATION_FAILURE", "connection broken: " + detail);
  bool accepted = false;
  while (true) {
    rfcwire::Received received;
    const Waited waited = Await(connection, received);
    if (waited == Waited::Cancelled)
      return Fill(error, nwrfc::kCanceled, nwrfc::kGroupCommunicationFailure, u"RFC_CANCELED",
                  "Connection was canceled.");
    if (waited == Waited::Lost) return LostConnection(received, error);
    const rfcwire::Frame &frame = received.frame;
    std::string problem;
    if (frame.type == rfcwire::MessageType::Failure) return SystemFailure(frame, error);
    if (!accepted) {
      if (frame.type != rfcwire::MessageType::CallAccepted || !rfcwire::DecodeEmpty(frame, problem))
        return Unexpected(error, problem.empty() ? "no acceptance of the call" : problem);
      accepted = true;
      continue;
    }
    if (frame.type == rfcwire::MessageType::Reply) {
      rfcwire::Reply reply;
      if (!rfcwire::Decode(frame, reply, problem)) return Unexpected(error, problem);
      std::lock_guard lock(state.mutex);
      TakeReply(state, function, reply);
      return Ok(error);
    }
    const bool system = frame.type == rfcwire::MessageType::SystemException;
    if (!system && frame.type != rfcwire::MessageType::Exception)
      return Unexpected(error,
                        "unexpected message type " + std::to_string(static_cast<int>(frame.type)));
    rfcwire::RaisedException raised;
    if (!rfcwire::Decode(frame, raised, problem)) return Unexpected(error, problem);
    const std::string message = raised.text.empty() ? raised.name : raised.text;
    return system ? Fill(error, nwrfc::kAbapRuntimeFailure, nwrfc::kGroupAbapRuntimeFailure,
                         Wide(raised.name), message)
                  : Fill(error, nwrfc::kAbapException, nwrfc::kGroupAbapApplicationFailure,
                         Wide(raised.name), message);
  }
}

template <typename Work> Rc Guarded(ErrorInfo *error, Work work) {
  try {
    return work();
  } catch (const std::bad_alloc &) {
    return Fill(error, nwrfc::kMemoryInsufficient, nwrfc::kGroupExternalRuntimeFailure,
                u"RFC_MEMORY_INSUFFICIENT", "out of memory");
  } catch (const std::exception &failure) {
    return Fill(error, nwrfc::kUnknownError, nwrfc::kGroupExternalRuntimeFailure,
                u"RFC_UNKNOWN_ERROR", failure.what());
  }
}

Rc OpenConnection(const nwrfc::ConnectionParameter *parameters, unsigned count,
                  nwrfc::ConnectionHandle &handle, ErrorInfo *error) {
  std::map<std::string, std::u16string> values;
  for (unsigned i = 0; parameters != nullptr && i < count; ++i)
    values[Upper(Latin1(Terminated(parameters[i].name)))] = Terminated(parameters[i].value);
  const auto value = [&](const char *name) {
    const auto found = values.find(name);
    return found == values.end() ? std::string() : Latin1(found->second);
  };
  if (!value("DEST").empty() || !value("MSHOST").empty() || !value("SAPLOGON_ID").empty())
    return Fill(error, nwrfc::kNotSupported, nwrfc::kGroupExternalRuntimeFailure,
                u"RFC_NOT_SUPPORTED",
                "the stand-in connects to an application server only (ASHOST and SYSNR)");
  const std::string host = value("ASHOST");
  const std::string sysnr = value("SYSNR");
  if (host.empty())
    return BadParameter(error, "Parameter ASHOST, GWHOST, MSHOST or PORT is missing.");
  if (sysnr.size() != 2 || sysnr.find_first_not_of("0123456789") != std::string::npos)
    return BadParameter(error, "Parameter SYSNR is missing or not two digits.");
  const std::string port = std::to_string(3300 + std::stoi(sysnr));
  const std::string partner = host + ":" + port;

  const rfcwire::Deadline deadline = rfcwire::Clock::now() + kOpenLimit;
  std::string detail;
  rfcwire::Socket socket = rfcwire::Connect(host, port, deadline, detail);
  if (!socket.IsOpen())
    return Fill(error, nwrfc::kCommunicationFailure, nwrfc::kGroupCommunicationFailure,
                u"RFC_COMMUNICATION_FAILURE",
                "partner not reached (" + partner + ": " + detail + ")");
  rfcwire::LogonRequest logon;
  logon.client = value("CLIENT");
  logon.user = value("USER");
  logon.password = value("PASSWD");
  logon.language = value("LANG");
  if (rfcwire::SendFrame(socket, rfcwire::Encode(logon), deadline, detail) !=
      rfcwire::IoResult::Done)
    return Fill(error, nwrfc::kCommunicationFailure, nwrfc::kGroupCommunicationFailure,
                u"RFC_COMMUNICATION_FAILURE", "connection broken: " + detail);
  const rfcwire::Received received = rfcwire::ReceiveFrame(socket, deadline);
  if (received.status == rfcwire::ReceiveStatus::Timeout)
    return Fill(error, nwrfc::kCommunicationFailure, nwrfc::kGroupCommunicationFailure,
                u"RFC_COMMUNICATION_FAILURE", "no logon answer from " + partner);
  if (received.status != rfcwire::ReceiveStatus::Ok) return LostConnection(received, error);
  std::string problem;
  if (received.frame.type == rfcwire::MessageType::LogonRejected) {
    rfcwire::Notice notice;
    if (!rfcwire::Decode(received.frame, notice, problem)) return Unexpected(error, problem);
    return Fill(error, nwrfc::kLogonFailure, nwrfc::kGroupLogonFailure, u"RFC_LOGON_FAILURE",
                notice.text.empty() ? "Name or password is incorrect" : notice.text);
  }
  if (received.frame.type == rfcwire::MessageType::Failure)
    return SystemFailure(received.frame, error);
  rfcwire::LogonAccepted accepted;
  if (received.frame.type != rfcwire::MessageType::LogonAccepted ||
      !rfcwire::Decode(received.frame, accepted, problem))
    return Unexpected(error, problem.empty() ? "no logon answer" : problem);

  State &state = Shared();
  std::lock_guard lock(state.mutex);
  auto connection = std::make_unique<Connection>();
  connection->socket = std::move(socket);
  connection->partner = partner;
  const std::uintptr_t id = state.next_id++;
  state.connections[id] = std::move(connection);
  handle = Handle(id);
  return Ok(error);
}

Rc Child(nwrfc::ContainerHandle container, const Unit *name, Kind kind,
         nwrfc::ContainerHandle *child, ErrorInfo *error) {
  return Guarded(error, [&] {
    State &state = Shared();
    std::lock_guard lock(state.mutex);
    Field *field = nullptr;
    if (const Rc rc = FindField(state, container, name, field, error); rc != nwrfc::kOk) return rc;
    if (field->kind != kind || !field->child)
      return BadParameter(error, kind == Kind::Table ? "the field is not a table"
                                                     : "the field is not a structure");
    if (child) *child = Handle(field->child->id);
    return Ok(error);
  });
}

} // namespace

extern "C" {

nwrfc::ConnectionHandle NWRFC_CALL RfcOpenConnection(const nwrfc::ConnectionParameter *parameters,
                                                     unsigned count, ErrorInfo *error) {
  nwrfc::ConnectionHandle handle = nullptr;
  Guarded(error, [&] { return OpenConnection(parameters, count, handle, error); });
  return handle;
}

Rc NWRFC_CALL RfcCloseConnection(nwrfc::ConnectionHandle connection, ErrorInfo *error) {
  return Guarded(error, [&] {
    std::unique_ptr<Connection> closing;
    {
      State &state = Shared();
      std::lock_guard lock(state.mutex);
      const auto found = state.connections.find(Id(connection));
      if (found == state.connections.end()) return BadHandle(error, "connection");
      closing = std::move(found->second);
      state.connections.erase(found);
    }
    std::string ignored;
    rfcwire::SendFrame(closing->socket, rfcwire::EncodeEmpty(rfcwire::MessageType::Close),
                       rfcwire::Clock::now() + kGoodbyeWait, ignored);
    return Ok(error);
  });
}

Rc NWRFC_CALL RfcIsConnectionHandleValid(nwrfc::ConnectionHandle connection, int *valid,
                                         ErrorInfo *error) {
  return Guarded(error, [&] {
    State &state = Shared();
    std::lock_guard lock(state.mutex);
    const bool listed = state.connections.count(Id(connection)) != 0;
    if (valid) *valid = listed ? 1 : 0;
    return listed ? Ok(error) : BadHandle(error, "connection");
  });
}

Rc NWRFC_CALL RfcCancel(nwrfc::ConnectionHandle connection, ErrorInfo *error) {
  return Guarded(error, [&] {
    State &state = Shared();
    std::lock_guard lock(state.mutex);
    const auto found = state.connections.find(Id(connection));
    if (found == state.connections.end()) return BadHandle(error, "connection");
    if (!found->second->in_call)
      return Fill(error, nwrfc::kIllegalState, nwrfc::kGroupExternalRuntimeFailure,
                  u"RFC_ILLEGAL_STATE", "No call is running on the connection");
    found->second->cancelled = true;
    return Ok(error);
  });
}

nwrfc::FunctionDescHandle NWRFC_CALL RfcGetFunctionDesc(nwrfc::ConnectionHandle connection,
                                                        const Unit *name, ErrorInfo *error) {
  nwrfc::FunctionDescHandle description = nullptr;
  Guarded(error, [&] {
    State &state = Shared();
    std::lock_guard lock(state.mutex);
    if (state.connections.count(Id(connection)) == 0) return BadHandle(error, "connection");
    const std::string wanted = Upper(Latin1(Terminated(name)));
    for (const FunctionDesc &function : Catalog()) {
      if (function.name == wanted) {
        description =
            reinterpret_cast<nwrfc::FunctionDescHandle>(const_cast<FunctionDesc *>(&function));
        return Ok(error);
      }
    }
    return Fill(error, nwrfc::kNotFound, nwrfc::kGroupAbapApplicationFailure, u"FU_NOT_FOUND",
                "Function module \"" + wanted + "\" not found");
  });
  return description;
}

nwrfc::ContainerHandle NWRFC_CALL RfcCreateFunction(nwrfc::FunctionDescHandle description,
                                                    ErrorInfo *error) {
  nwrfc::ContainerHandle function = nullptr;
  Guarded(error, [&] {
    const FunctionDesc *desc = nullptr;
    for (const FunctionDesc &known : Catalog()) {
      if (reinterpret_cast<const void *>(&known) == reinterpret_cast<const void *>(description))
        desc = &known;
    }
    if (desc == nullptr) return BadHandle(error, "function description");
    State &state = Shared();
    std::lock_guard lock(state.mutex);
    auto node = std::make_unique<Node>();
    node->type = Node::Type::Function;
    node->function = desc;
    Register(state, *node);
    for (const ParamDesc &param : desc->params)
      node->fields[std::string(param.name)] =
          MakeField(state, param.kind, param.length, param.type);
    function = Handle(node.release()->id);
    return Ok(error);
  });
  return function;
}

Rc NWRFC_CALL RfcDestroyFunction(nwrfc::ContainerHandle function, ErrorInfo *error) {
  return Guarded(error, [&] {
    State &state = Shared();
    std::lock_guard lock(state.mutex);
    Node *node = FindNode(state, function);
    if (node == nullptr || node->type != Node::Type::Function) return BadHandle(error, "function");
    std::unique_ptr<Node> owned(node);
    Unregister(state, *owned);
    return Ok(error);
  });
}

Rc NWRFC_CALL RfcInvoke(nwrfc::ConnectionHandle connection, nwrfc::ContainerHandle function,
                        ErrorInfo *error) {
  return Guarded(error, [&] {
    State &state = Shared();
    Connection *open = nullptr;
    Node *node = nullptr;
    {
      std::lock_guard lock(state.mutex);
      const auto found = state.connections.find(Id(connection));
      if (found == state.connections.end()) return BadHandle(error, "connection");
      node = FindNode(state, function);
      if (node == nullptr || node->type != Node::Type::Function)
        return BadHandle(error, "function");
      open = found->second.get();
      if (open->in_call)
        return Fill(error, nwrfc::kIllegalState, nwrfc::kGroupExternalRuntimeFailure,
                    u"RFC_ILLEGAL_STATE", "A call is running on the connection");
      open->in_call = true;
      open->cancelled = false;
    }
    // The connection stays where it is: only RfcCloseConnection removes one, and it is not to
    // be called while a call runs; RfcCancel only raises the flag.
    const Rc rc = Exchange(state, *open, *node, error);
    std::lock_guard lock(state.mutex);
    open->in_call = false;
    if (rc != nwrfc::kOk && rc != nwrfc::kAbapException) {
      open->socket.Close(); // the library closes the connection after such an error
      state.connections.erase(Id(connection));
    }
    return rc;
  });
}

Rc NWRFC_CALL RfcSetChars(nwrfc::ContainerHandle container, const Unit *name, const Unit *value,
                          unsigned length, ErrorInfo *error) {
  return Guarded(error, [&] {
    State &state = Shared();
    std::lock_guard lock(state.mutex);
    Field *field = nullptr;
    if (const Rc rc = FindField(state, container, name, field, error); rc != nwrfc::kOk) return rc;
    const std::u16string_view text(value ? value : u"", value ? length : 0);
    if (IsText(field->kind)) {
      field->chars.assign(text.substr(0, field->length));
      field->chars.resize(field->length, u' ');
    } else if (field->kind == Kind::Int) {
      if (!ParseInt(text, field->integer))
        return Fill(error, nwrfc::kConversionFailure, nwrfc::kGroupExternalRuntimeFailure,
                    u"RFC_CONVERSION_FAILURE", "the value is not a number");
    } else {
      return BadParameter(error, "the field is not elementary");
    }
    field->set = true;
    return Ok(error);
  });
}

Rc NWRFC_CALL RfcGetChars(nwrfc::ContainerHandle container, const Unit *name, Unit *buffer,
                          unsigned length, ErrorInfo *error) {
  return Guarded(error, [&] {
    State &state = Shared();
    std::lock_guard lock(state.mutex);
    Field *field = nullptr;
    if (const Rc rc = FindField(state, container, name, field, error); rc != nwrfc::kOk) return rc;
    std::u16string text;
    if (IsText(field->kind))
      text = field->chars;
    else if (field->kind == Kind::Int)
      text = Wide(std::to_string(field->integer));
    else
      return BadParameter(error, "the field is not elementary");
    if (buffer == nullptr || length < text.size())
      return Fill(error, nwrfc::kBufferTooSmall, nwrfc::kGroupExternalRuntimeFailure,
                  u"RFC_BUFFER_TOO_SMALL",
                  "the buffer holds " + std::to_string(length) + " characters, the value " +
                      std::to_string(text.size()));
    std::copy(text.begin(), text.end(), buffer);
    std::fill(buffer + text.size(), buffer + length, u' ');
    return Ok(error);
  });
}

Rc NWRFC_CALL RfcGetInt(nwrfc::ContainerHandle container, const Unit *name, int *value,
                        ErrorInfo *error) {
  return Guarded(error, [&] {
    State &state = Shared();
    std::lock_guard lock(state.mutex);
    Field *field = nullptr;
    if (const Rc rc = FindField(state, container, name, field, error); rc != nwrfc::kOk) return rc;
    std::int32_t number = field->integer;
    if (field->kind != Kind::Int && (!IsText(field->kind) || !ParseInt(field->chars, number)))
      return Fill(error, nwrfc::kConversionFailure, nwrfc::kGroupExternalRuntimeFailure,
                  u"RFC_CONVERSION_FAILURE", "the field holds no number");
    if (value) *value = number;
    return Ok(error);
  });
}

Rc NWRFC_CALL RfcGetStructure(nwrfc::ContainerHandle container, const Unit *name,
                              nwrfc::ContainerHandle *structure, ErrorInfo *error) {
  return Child(container, name, Kind::Structure, structure, error);
}

Rc NWRFC_CALL RfcGetTable(nwrfc::ContainerHandle container, const Unit *name,
                          nwrfc::ContainerHandle *table, ErrorInfo *error) {
  return Child(container, name, Kind::Table, table, error);
}

Rc NWRFC_CALL RfcGetRowCount(nwrfc::ContainerHandle table, unsigned *count, ErrorInfo *error) {
  return Guarded(error, [&] {
    State &state = Shared();
    std::lock_guard lock(state.mutex);
    const Node *node = FindNode(state, table);
    if (node == nullptr || node->type != Node::Type::Table) return BadHandle(error, "table");
    if (count) *count = static_cast<unsigned>(node->rows.size());
    return Ok(error);
  });
}

Rc NWRFC_CALL RfcMoveTo(nwrfc::ContainerHandle table, unsigned index, ErrorInfo *error) {
  return Guarded(error, [&] {
    State &state = Shared();
    std::lock_guard lock(state.mutex);
    Node *node = FindNode(state, table);
    if (node == nullptr || node->type != Node::Type::Table) return BadHandle(error, "table");
    if (index >= node->rows.size())
      return Fill(error, nwrfc::kTableMoveEof, nwrfc::kGroupExternalRuntimeFailure,
                  u"RFC_TABLE_MOVE_EOF", "row " + std::to_string(index) + " does not exist");
    node->current = index;
    return Ok(error);
  });
}

const Unit *NWRFC_CALL RfcGetVersion(unsigned *major, unsigned *minor, unsigned *patch) {
  if (major) *major = 7500;
  if (minor) *minor = 0;
  if (patch) *patch = 0;
  return u"7500.0.0 Kestrovan stand-in";
}

} // extern "C"
