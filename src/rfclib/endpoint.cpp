// Port arithmetic of SAP gateways and the checks on host names.
#include "rfclib/endpoint.h"

#include "wire/text_util.h"

namespace rfclib {
namespace {

constexpr int kGatewayBasePort = 3300;

bool CheckHost(std::string_view host, const char *what, std::string &problem) {
  if (host.empty()) {
    problem = std::string("no ") + what + " given";
    return false;
  }
  if (host.front() == '/') {
    problem = std::string("SAP router strings are not supported (") + what + ")";
    return false;
  }
  return true;
}

} // namespace

bool GatewayPort(std::string_view service, std::string &port) {
  service = rfcwire::Trim(service);
  unsigned long number = 0;
  if (rfcwire::ParseUnsigned(service, 65535, number) && number > 0) {
    port = std::to_string(number);
    return true;
  }
  if (service.size() == 7 && rfcwire::ToUpper(service.substr(0, 5)) == "SAPGW" &&
      rfcwire::AllDigits(service.substr(5))) {
    port = std::to_string(kGatewayBasePort + (service[5] - '0') * 10 + (service[6] - '0'));
    return true;
  }
  return false;
}

bool ApplicationServerEndpoint(std::string_view host, int sysnr, std::string_view gateway_host,
                               std::string_view gateway_service, Endpoint &endpoint,
                               std::string &problem) {
  // A system number outside 00..99 names no system, whichever way the connection would go.
  if (sysnr < 0 || sysnr > 99) {
    problem = "system number " + std::to_string(sysnr) + " is outside 00..99";
    return false;
  }
  // The application server's own gateway is the target; a separate gateway is only used when
  // no application server is named, so a host given for the run always takes effect.
  if (host.empty() && !gateway_host.empty()) {
    if (gateway_service.empty()) {
      problem = "no application server host and no gateway service given";
      return false;
    }
    return GatewayEndpoint(gateway_host, gateway_service, endpoint, problem);
  }
  if (!CheckHost(host, "application server host", problem)) {
    return false;
  }
  endpoint.port = std::to_string(kGatewayBasePort + sysnr);
  endpoint.host = std::string(host);
  return true;
}

bool GatewayEndpoint(std::string_view gateway_host, std::string_view gateway_service,
                     Endpoint &endpoint, std::string &problem) {
  if (!CheckHost(gateway_host, "gateway host", problem)) {
    return false;
  }
  if (gateway_service.empty()) {
    problem = "no gateway service given";
    return false;
  }
  if (!GatewayPort(gateway_service, endpoint.port)) {
    problem =
        "gateway service " + std::string(gateway_service) + " is neither a port number nor sapgwNN";
    return false;
  }
  endpoint.host = std::string(gateway_host);
  return true;
}

} // namespace rfclib
