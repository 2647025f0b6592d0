// Data containers: a function, the structures in it, its tables and their rows, known to the
// caller by handles; and the connections. Handles are numbers never used twice, so a stale handle
// is told from a live one.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "nwrfclib/nwrfc_catalog.h"
#include "nwrfclib/nwrfc_common.h"
#include "wire/wire_client.h"
#include "wire/wire_messages.h"

namespace nwrfclib {

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
  /// A table's rows as they arrived, trailing blanks cut: row i is bytes[ends[i - 1], ends[i]),
  /// read back padded with blanks to wire_length. No node, map or UTF-16 text per row, so a
  /// million rows cost little more than their bytes.
  std::string bytes;
  std::vector<std::uint32_t> ends;
  std::uint32_t wire_length = 0;
  std::size_t current = 0;
};

struct Connection {
  rfcwire::WireClient client;
  std::string partner;
  bool in_call = false;
  std::atomic<bool> cancelled{false};
};

/// Everything the library holds, behind one lock.
struct State {
  std::mutex mutex;
  std::uintptr_t next_id = 1;
  std::map<std::uintptr_t, Node *> nodes;
  std::map<std::uintptr_t, std::unique_ptr<Connection>> connections;
};

/// The library's state: one per process, as the C interface has no other place for it.
State &Shared();

inline std::uintptr_t Id(nwrfc::Opaque *handle) { return reinterpret_cast<std::uintptr_t>(handle); }
inline nwrfc::Opaque *Handle(std::uintptr_t id) { return reinterpret_cast<nwrfc::Opaque *>(id); }

/// Gives a node its handle; Unregister takes it and those of every node below it.
void Register(State &state, Node &node);
void Unregister(State &state, Node &node);

/// A field of this kind with its initial value; a structure or table gets its node.
Field MakeField(State &state, Kind kind, unsigned length, const StructDesc *type);

/// The node of a handle; null for a handle not (or no longer) handed out.
Node *FindNode(State &state, nwrfc::Opaque *handle);

/// A field of a container by name (any case). On a table it is the field of the current row,
/// read into `row_field`, which `field` then points to: such a copy is read-only.
Rc FindField(State &state, nwrfc::Opaque *container, const Unit *name, Field *&field,
             Field &row_field, ErrorInfo *error);

bool IsText(Kind kind);

/// A NUM field's text as the library holds it: the digits right-aligned, leading zeros.
std::u16string NumText(std::u16string_view text, unsigned length);

/// A number as the library converts text into an integer field: blanks around it, a sign.
bool ParseInt(std::u16string_view text, std::int32_t &value);

/// The call request of a function: its set importing values and every table.
rfcwire::CallRequest Request(const Node &function);

/// Takes the reply's values and tables into the function; the dictionary's version wins over
/// anything the reply holds that the function does not know.
void TakeReply(Node &function, const rfcwire::ReplyView &reply);

} // namespace nwrfclib
