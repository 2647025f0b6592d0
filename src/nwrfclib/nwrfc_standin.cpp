// The NetWeaver RFC library stand-in: the client subset of the NetWeaver interface that the
// sensor's binding uses, with the library's record layouts and UTF-16 texts, over the wire
// protocol sapsim speaks. It holds the descriptions of the three function modules sapsim serves
// itself, plays a system with code page ISO 8859-1 (SAP's 1100), and, like SAP's library, has no
// call timeout of its own: a call waits until the system answers or RfcCancel ends it.
#include <chrono>
#include <memory>
#include <mutex>
#include <string>

#include "nwrfclib/nwrfc_exchange.h"
#include "rfcapi/nwrfc_api.h"

using nwrfc::ErrorInfo;
using nwrfc::Rc;
using nwrfc::Unit;
using namespace nwrfclib;

namespace {

constexpr std::chrono::milliseconds kGoodbyeWait{500};

Rc Child(nwrfc::ContainerHandle container, const Unit *name, Kind kind,
         nwrfc::ContainerHandle *child, ErrorInfo *error) {
  return Guarded(error, [&] {
    State &state = Shared();
    std::lock_guard lock(state.mutex);
    Field *field = nullptr;
    Field row_field;
    if (const Rc rc = FindField(state, container, name, field, row_field, error);
        rc != nwrfc::kOk) {
      return rc;
    }
    if (field->kind != kind || !field->child) {
      return BadParameter(error, kind == Kind::Table ? "the field is not a table"
                                                     : "the field is not a structure");
    }
    if (child) {
      *child = Handle(field->child->id);
    }
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
      if (found == state.connections.end()) {
        return BadHandle(error, "connection");
      }
      closing = std::move(found->second);
      state.connections.erase(found);
    }
    closing->client.SayGoodbye(rfcwire::Clock::now() + kGoodbyeWait);
    return Ok(error);
  });
}

Rc NWRFC_CALL RfcIsConnectionHandleValid(nwrfc::ConnectionHandle connection, int *valid,
                                         ErrorInfo *error) {
  return Guarded(error, [&] {
    State &state = Shared();
    std::lock_guard lock(state.mutex);
    const bool listed = state.connections.count(Id(connection)) != 0;
    if (valid) {
      *valid = listed ? 1 : 0;
    }
    return listed ? Ok(error) : BadHandle(error, "connection");
  });
}

Rc NWRFC_CALL RfcCancel(nwrfc::ConnectionHandle connection, ErrorInfo *error) {
  return Guarded(error, [&] {
    State &state = Shared();
    std::lock_guard lock(state.mutex);
    const auto found = state.connections.find(Id(connection));
    if (found == state.connections.end()) {
      return BadHandle(error, "connection");
    }
    if (!found->second->in_call) {
      return Fill(error, nwrfc::kIllegalState, nwrfc::kGroupExternalRuntimeFailure,
                  u"RFC_ILLEGAL_STATE", "No call is running on the connection");
    }
    // Ends the wait wherever the call is, also half way through a frame: the socket is shut
    // down under the call's feet, and the call sees the flag when its wait returns.
    found->second->cancelled = true;
    found->second->client.Interrupt();
    return Ok(error);
  });
}

nwrfc::FunctionDescHandle NWRFC_CALL RfcGetFunctionDesc(nwrfc::ConnectionHandle connection,
                                                        const Unit *name, ErrorInfo *error) {
  nwrfc::FunctionDescHandle description = nullptr;
  Guarded(error, [&] {
    State &state = Shared();
    std::lock_guard lock(state.mutex);
    if (state.connections.count(Id(connection)) == 0) {
      return BadHandle(error, "connection");
    }
    const std::string wanted = ToUpper(Latin1(Terminated(name)));
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
      if (reinterpret_cast<const void *>(&known) == reinterpret_cast<const void *>(description)) {
        desc = &known;
      }
    }
    if (desc == nullptr) {
      return BadHandle(error, "function description");
    }
    State &state = Shared();
    std::lock_guard lock(state.mutex);
    auto node = std::make_unique<Node>();
    node->type = Node::Type::Function;
    node->function = desc;
    Register(state, *node);
    for (const ParamDesc &param : desc->params) {
      node->fields[std::string(param.name)] =
          MakeField(state, param.kind, param.length, param.type);
    }
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
    if (node == nullptr || node->type != Node::Type::Function) {
      return BadHandle(error, "function");
    }
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
      if (found == state.connections.end()) {
        return BadHandle(error, "connection");
      }
      node = FindNode(state, function);
      if (node == nullptr || node->type != Node::Type::Function) {
        return BadHandle(error, "function");
      }
      open = found->second.get();
      if (open->in_call) {
        return Fill(error, nwrfc::kIllegalState, nwrfc::kGroupExternalRuntimeFailure,
                    u"RFC_ILLEGAL_STATE", "A call is running on the connection");
      }
      open->in_call = true;
      open->cancelled = false;
    }
    // The connection stays where it is: only RfcCloseConnection removes one, and it is not to
    // be called while a call runs; RfcCancel only raises the flag.
    const Rc rc = Exchange(state, *open, *node, error);
    std::lock_guard lock(state.mutex);
    open->in_call = false;
    if (rc != nwrfc::kOk && rc != nwrfc::kAbapException) {
      open->client.Abandon(); // the library closes the connection after such an error
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
    Field row_field;
    if (const Rc rc = FindField(state, container, name, field, row_field, error);
        rc != nwrfc::kOk) {
      return rc;
    }
    if (field == &row_field) {
      return Fill(error, nwrfc::kNotSupported, nwrfc::kGroupExternalRuntimeFailure,
                  u"RFC_NOT_SUPPORTED", "the stand-in's table rows hold what the system sent");
    }
    const std::u16string_view text(value ? value : u"", value ? length : 0);
    if (field->kind == Kind::Num) {
      field->chars = NumText(text, field->length);
    } else if (IsText(field->kind)) {
      field->chars.assign(text.substr(0, field->length));
      field->chars.resize(field->length, u' ');
    } else if (field->kind == Kind::Int) {
      if (!ParseInt(text, field->integer)) {
        return Fill(error, nwrfc::kConversionFailure, nwrfc::kGroupExternalRuntimeFailure,
                    u"RFC_CONVERSION_FAILURE", "the value is not a number");
      }
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
    Field row_field;
    if (const Rc rc = FindField(state, container, name, field, row_field, error);
        rc != nwrfc::kOk) {
      return rc;
    }
    std::u16string text;
    if (IsText(field->kind)) {
      text = field->chars;
    } else if (field->kind == Kind::Int) {
      text = Wide(std::to_string(field->integer));
    } else {
      return BadParameter(error, "the field is not elementary");
    }
    if (buffer == nullptr || length < text.size()) {
      return Fill(error, nwrfc::kBufferTooSmall, nwrfc::kGroupExternalRuntimeFailure,
                  u"RFC_BUFFER_TOO_SMALL",
                  "the buffer holds " + std::to_string(length) + " characters, the value " +
                      std::to_string(text.size()));
    }
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
    Field row_field;
    if (const Rc rc = FindField(state, container, name, field, row_field, error);
        rc != nwrfc::kOk) {
      return rc;
    }
    std::int32_t number = field->integer;
    if (field->kind != Kind::Int && (!IsText(field->kind) || !ParseInt(field->chars, number))) {
      return Fill(error, nwrfc::kConversionFailure, nwrfc::kGroupExternalRuntimeFailure,
                  u"RFC_CONVERSION_FAILURE", "the field holds no number");
    }
    if (value) {
      *value = number;
    }
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
    if (node == nullptr || node->type != Node::Type::Table) {
      return BadHandle(error, "table");
    }
    if (count) {
      *count = static_cast<unsigned>(node->ends.size());
    }
    return Ok(error);
  });
}

Rc NWRFC_CALL RfcMoveTo(nwrfc::ContainerHandle table, unsigned index, ErrorInfo *error) {
  return Guarded(error, [&] {
    State &state = Shared();
    std::lock_guard lock(state.mutex);
    Node *node = FindNode(state, table);
    if (node == nullptr || node->type != Node::Type::Table) {
      return BadHandle(error, "table");
    }
    if (index >= node->ends.size()) {
      return Fill(error, nwrfc::kTableMoveEof, nwrfc::kGroupExternalRuntimeFailure,
                  u"RFC_TABLE_MOVE_EOF", "row " + std::to_string(index) + " does not exist");
    }
    node->current = index;
    return Ok(error);
  });
}

const Unit *NWRFC_CALL RfcGetVersion(unsigned *major, unsigned *minor, unsigned *patch) {
  if (major) {
    *major = 7500;
  }
  if (minor) {
    *minor = 0;
  }
  if (patch) {
    *patch = 0;
  }
  return u"7500.0.0 Kestrovan stand-in";
}

} // extern "C"
