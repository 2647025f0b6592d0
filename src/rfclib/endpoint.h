// Where a connection goes: the gateway of an application server or a gateway named outright.
#pragma once

#include <string>
#include <string_view>

namespace rfclib {

struct Endpoint {
  std::string host;
  std::string port;
  std::string Describe() const { return host + ":" + port; }
};

/// The port of a gateway service: a port number, or sapgwNN meaning 3300 + NN.
bool GatewayPort(std::string_view service, std::string &port);

/// An application server is reached through its own gateway, which listens on 3300 plus the
/// system number; the gateway host and service are used only when no server host is given.
bool ApplicationServerEndpoint(std::string_view host, int sysnr, std::string_view gateway_host,
                               std::string_view gateway_service, Endpoint &endpoint,
                               std::string &problem);

/// R/2 style: straight to gateway host and service, both required.
bool GatewayEndpoint(std::string_view gateway_host, std::string_view gateway_service,
                     Endpoint &endpoint, std::string &problem);

} // namespace rfclib
