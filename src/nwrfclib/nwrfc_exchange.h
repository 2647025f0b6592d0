// The network side of the library: the logon of a new connection and the exchange of one call.
#pragma once

#include "nwrfclib/nwrfc_containers.h"

namespace nwrfclib {

/// Connects and logs on with the connection parameters (ASHOST and SYSNR, CLIENT, USER, PASSWD,
/// LANG); the new connection's handle, or the failure.
Rc OpenConnection(const nwrfc::ConnectionParameter *parameters, unsigned count,
                  nwrfc::ConnectionHandle &handle, ErrorInfo *error);

/// The exchange of one call, without a limit of its own: it waits until the system answers or
/// RfcCancel ends it, at any point, also half way through a frame. The caller ends the connection
/// on anything but kOk and an ABAP exception.
Rc Exchange(State &state, Connection &connection, Node &function, ErrorInfo *error);

} // namespace nwrfclib
