// Containers and their values between the caller and the wire.
#include "nwrfclib/nwrfc_containers.h"

#include <algorithm>

namespace nwrfclib {

State &Shared() {
  static State state;
  return state;
}

void Register(State &state, Node &node) {
  node.id = state.next_id++;
  state.nodes[node.id] = &node;
}

void Unregister(State &state, Node &node) {
  state.nodes.erase(node.id);
  for (auto &[name, field] : node.fields) {
    if (field.child) {
      Unregister(state, *field.child);
    }
  }
}

namespace {

std::unique_ptr<Node> MakeStructure(State &state, const StructDesc &desc) {
  auto node = std::make_unique<Node>();
  node->type = Node::Type::Structure;
  node->line = &desc;
  Register(state, *node);
  for (const FieldDesc &field : desc.fields) {
    node->fields[std::string(field.name)] = MakeField(state, field.kind, field.length, nullptr);
  }
  return node;
}

} // namespace

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

namespace {

void TakeField(Field &field, const std::uint8_t *bytes, std::size_t size);

/// The field `key` of row `index` of a table, as a node of that row would hold it after taking
/// the row from the wire.
bool RowField(const Node &table, std::size_t index, const std::string &key, Field &field) {
  std::size_t offset = 0;
  for (const FieldDesc &desc : table.line->fields) {
    if (desc.name != key) {
      offset += desc.length;
      continue;
    }
    field = Field{};
    field.kind = desc.kind;
    field.length = desc.length;
    if (desc.kind != Kind::Int) {
      field.chars.assign(desc.length, desc.kind == Kind::Char ? u' ' : u'0');
    }
    if (offset < table.wire_length) {
      const std::size_t begin = index == 0 ? 0 : table.ends[index - 1];
      const std::string_view stored(table.bytes.data() + begin, table.ends[index] - begin);
      std::string bytes(std::min<std::size_t>(desc.length, table.wire_length - offset), ' ');
      if (offset < stored.size()) {
        const std::string_view part = stored.substr(offset, bytes.size());
        std::copy(part.begin(), part.end(), bytes.begin());
      }
      TakeField(field, reinterpret_cast<const std::uint8_t *>(bytes.data()), bytes.size());
    }
    return true;
  }
  return false;
}

} // namespace

Node *FindNode(State &state, nwrfc::Opaque *handle) {
  const auto found = state.nodes.find(Id(handle));
  return found == state.nodes.end() ? nullptr : found->second;
}

Rc FindField(State &state, nwrfc::Opaque *container, const Unit *name, Field *&field,
             Field &row_field, ErrorInfo *error) {
  Node *node = FindNode(state, container);
  if (node == nullptr) {
    return BadHandle(error, "data container");
  }
  const std::string key = ToUpper(Latin1(Terminated(name)));
  if (node->type == Node::Type::Table) {
    if (node->current >= node->ends.size()) {
      return Fill(error, nwrfc::kIllegalState, nwrfc::kGroupExternalRuntimeFailure,
                  u"RFC_ILLEGAL_STATE", "The table has no current row");
    }
    if (!RowField(*node, node->current, key, row_field)) {
      return BadParameter(error, "field '" + key + "' not found");
    }
    field = &row_field;
    return nwrfc::kOk;
  }
  const auto found = node->fields.find(key);
  if (found == node->fields.end()) {
    return BadParameter(error, "field '" + key + "' not found");
  }
  field = &found->second;
  return nwrfc::kOk;
}

std::u16string NumText(std::u16string_view text, unsigned length) {
  const std::size_t begin = text.find_first_not_of(u' ');
  text = begin == std::u16string_view::npos
             ? std::u16string_view()
             : text.substr(begin, text.find_last_not_of(u' ') - begin + 1);
  if (text.size() > length) {
    text.remove_prefix(text.size() - length);
  }
  return std::u16string(length - text.size(), u'0') + std::u16string(text);
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
  if (digits[begin] == '-' || digits[begin] == '+') {
    negative = digits[begin++] == '-';
  }
  if (begin > end) {
    return false;
  }
  long long number = 0;
  for (std::size_t i = begin; i <= end; ++i) {
    if (digits[i] < '0' || digits[i] > '9') {
      return false;
    }
    number = number * 10 + (digits[i] - '0');
    if (number > 2147483648LL) {
      return false;
    }
  }
  number = negative ? -number : number;
  if (number > 2147483647LL) {
    return false;
  }
  value = static_cast<std::int32_t>(number);
  return true;
}

namespace {

void AppendField(std::vector<std::uint8_t> &bytes, const Field &field) {
  if (field.kind == Kind::Int) {
    const auto bits = static_cast<std::uint32_t>(field.integer);
    for (int shift = 24; shift >= 0; shift -= 8) {
      bytes.push_back(static_cast<std::uint8_t>(bits >> shift));
    }
    return;
  }
  std::string text = Latin1(field.chars);
  text.resize(field.length, ' ');
  bytes.insert(bytes.end(), text.begin(), text.end());
}

void AppendRecord(std::vector<std::uint8_t> &bytes, const Node &record) {
  for (const FieldDesc &desc : record.line->fields) {
    AppendField(bytes, record.fields.at(std::string(desc.name)));
  }
}

void TakeField(Field &field, const std::uint8_t *bytes, std::size_t size) {
  if (field.kind == Kind::Int) {
    std::uint32_t bits = 0;
    for (std::size_t i = 0; i < 4 && i < size; ++i) {
      bits = (bits << 8) | bytes[i];
    }
    field.integer = static_cast<std::int32_t>(bits);
    return;
  }
  field.chars = Wide(std::string_view(reinterpret_cast<const char *>(bytes),
                                      std::min<std::size_t>(size, field.length)));
  if (field.kind == Kind::Num) {
    field.chars = NumText(field.chars, field.length);
  }
  field.chars.resize(field.length, u' ');
}

void TakeRecord(Node &record, const std::uint8_t *bytes, std::size_t size) {
  std::size_t offset = 0;
  for (const FieldDesc &desc : record.line->fields) {
    if (offset >= size) {
      break;
    }
    TakeField(record.fields.at(std::string(desc.name)), bytes + offset,
              std::min<std::size_t>(desc.length, size - offset));
    offset += desc.length;
  }
}

/// Row `row` of a received table without its trailing blanks, which RowField gives back.
std::string_view TrimmedRow(const rfcwire::TableView &table, std::uint32_t row) {
  std::string_view line(reinterpret_cast<const char *>(table.data.data()) +
                            std::size_t{row} * table.line_length,
                        table.line_length);
  while (!line.empty() && line.back() == ' ') {
    line.remove_suffix(1);
  }
  return line;
}

} // namespace

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
      if (param.kind == Kind::Structure) {
        AppendRecord(value.bytes, *field.child);
      } else {
        AppendField(value.bytes, field);
      }
      request.exporting.push_back(std::move(value));
    } else if (param.direction == Direction::Tables) {
      rfcwire::Table table;
      table.name = std::string(param.name);
      table.line_length = param.type->Length();
      const Node &rows = *field.child;
      table.rows = static_cast<std::uint32_t>(rows.ends.size());
      for (std::size_t row = 0; row < rows.ends.size(); ++row) {
        const std::size_t begin = row == 0 ? 0 : rows.ends[row - 1];
        std::string line = rows.bytes.substr(begin, rows.ends[row] - begin);
        line.resize(table.line_length, ' ');
        table.data.insert(table.data.end(), line.begin(), line.end());
      }
      request.tables.push_back(std::move(table));
    }
  }
  return request;
}

void TakeReply(Node &function, const rfcwire::ReplyView &reply) {
  for (const rfcwire::Value &value : reply.importing) {
    const auto found = function.fields.find(ToUpper(value.name));
    if (found == function.fields.end()) {
      continue; // the dictionary's version wins
    }
    Field &field = found->second;
    if (field.kind == Kind::Structure) {
      TakeRecord(*field.child, value.bytes.data(), value.bytes.size());
    } else if (field.kind != Kind::Table) {
      TakeField(field, value.bytes.data(), value.bytes.size());
    }
  }
  for (const rfcwire::TableView &table : reply.tables) {
    const auto found = function.fields.find(ToUpper(table.name));
    if (found == function.fields.end() || found->second.kind != Kind::Table) {
      continue;
    }
    Node &node = *found->second.child;
    node.bytes.clear();
    node.ends.clear();
    node.current = 0;
    node.wire_length = table.line_length;
    // Sized before it is filled: the rows' bytes (at most the frame's) and one end per row.
    std::size_t kept = 0;
    for (std::uint32_t row = 0; row < table.rows; ++row) {
      kept += TrimmedRow(table, row).size();
    }
    node.bytes.reserve(kept);
    node.ends.reserve(table.rows);
    for (std::uint32_t row = 0; row < table.rows; ++row) {
      const std::string_view line = TrimmedRow(table, row);
      node.bytes.append(line);
      node.ends.push_back(static_cast<std::uint32_t>(node.bytes.size()));
    }
  }
}

} // namespace nwrfclib
