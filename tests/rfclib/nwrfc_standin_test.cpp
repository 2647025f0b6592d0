// The NetWeaver stand-in against a scripted partner: a cancel ends a call wherever it is, and a
// partner that breaks the open is a communication failure told in SAP's keyed lines.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "nwrfclib/nwrfc_containers.h"
#include "rfcapi/nwrfc_api.h"
#include "scripted_partner.h"
#include "support/simulated_system.h"
#include "wire/wire_frame.h"
#include "wire/wire_messages.h"

extern "C" {
nwrfc::ConnectionHandle NWRFC_CALL RfcOpenConnection(const nwrfc::ConnectionParameter *, unsigned,
                                                     nwrfc::ErrorInfo *);
nwrfc::Rc NWRFC_CALL RfcCloseConnection(nwrfc::ConnectionHandle, nwrfc::ErrorInfo *);
nwrfc::FunctionDescHandle NWRFC_CALL RfcGetFunctionDesc(nwrfc::ConnectionHandle,
                                                        const nwrfc::Unit *, nwrfc::ErrorInfo *);
nwrfc::ContainerHandle NWRFC_CALL RfcCreateFunction(nwrfc::FunctionDescHandle, nwrfc::ErrorInfo *);
nwrfc::Rc NWRFC_CALL RfcDestroyFunction(nwrfc::ContainerHandle, nwrfc::ErrorInfo *);
nwrfc::Rc NWRFC_CALL RfcInvoke(nwrfc::ConnectionHandle, nwrfc::ContainerHandle, nwrfc::ErrorInfo *);
nwrfc::Rc NWRFC_CALL RfcCancel(nwrfc::ConnectionHandle, nwrfc::ErrorInfo *);
}

namespace kestrovan_test {
namespace {

using std::chrono::steady_clock;

/// The first `cut` bytes of a reply frame holding many rows: the rest never comes.
std::vector<std::uint8_t> HalfAReply(std::size_t cut) {
  rfcwire::Reply reply;
  rfcwire::Table table;
  table.name = "MISSING_INDEX";
  table.line_length = 30;
  table.rows = 1000;
  table.data.assign(30 * 1000, 'X');
  reply.tables.push_back(std::move(table));
  std::vector<std::uint8_t> bytes = rfcwire::SerializeFrame(rfcwire::Encode(reply));
  bytes.resize(std::min(cut, bytes.size()));
  return bytes;
}

TEST(NwRfcStandinTest, ACancelEndsACallStalledAnywhereInItsReply) {
  const struct {
    const char *name;
    std::size_t cut; // bytes of the reply sent before the partner stalls
  } cases[] = {
      {"before the reply", 0}, {"inside the header", 5}, {"half way through the rows", 15000}};
  for (const auto &c : cases) {
    // The stand-in reaches a system at port 3300 + its number: 3399 on an address of its own.
    ScriptedPartner partner(HalfAReply(c.cut), "3399");
    const std::u16string host(partner.Address().begin(), partner.Address().end());
    const nwrfc::ConnectionParameter parameters[] = {{u"ASHOST", host.c_str()},
                                                     {u"SYSNR", u"99"},
                                                     {u"CLIENT", u"100"},
                                                     {u"USER", u"MONITOR"},
                                                     {u"PASSWD", u"x"}};
    nwrfc::ErrorInfo error{};
    nwrfc::ConnectionHandle connection = RfcOpenConnection(parameters, 5, &error);
    ASSERT_NE(connection, nullptr) << c.name;
    nwrfc::ContainerHandle function = RfcCreateFunction(
        RfcGetFunctionDesc(connection, u"DB_ORA_MISSING_INDICES", &error), &error);
    ASSERT_NE(function, nullptr) << c.name;

    const auto start = steady_clock::now();
    auto invoked = std::async(std::launch::async, [&] {
      nwrfc::ErrorInfo outcome{};
      return RfcInvoke(connection, function, &outcome);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    nwrfc::ErrorInfo cancelled{};
    EXPECT_EQ(RfcCancel(connection, &cancelled), nwrfc::kOk) << c.name;
    // The stand-in's own frame limit is 60 s: a cancel that waits for it is no cancel.
    ASSERT_EQ(invoked.wait_for(std::chrono::seconds(10)), std::future_status::ready) << c.name;
    EXPECT_EQ(invoked.get(), nwrfc::kCanceled) << c.name;
    EXPECT_LT(steady_clock::now() - start, std::chrono::seconds(10)) << c.name;
    RfcDestroyFunction(function, &error);
    EXPECT_EQ(RfcCloseConnection(connection, &error), nwrfc::kInvalidHandle)
        << c.name << ": the library closed it after the cancel";
  }
}

/// The value of the ERROR line of a message in SAP's keyed lines; "<none>" without one.
std::string ErrorLine(const nwrfc::ErrorInfo &error) {
  const std::u16string message(error.message);
  const std::size_t at = message.find(u"\nERROR       ");
  if (at == std::u16string::npos) {
    return "<none>";
  }
  const std::u16string value = message.substr(at + 13, message.find(u'\n', at + 1) - at - 13);
  return std::string(value.begin(), value.end());
}

TEST(NwRfcStandinTest, APartnerThatBreaksTheOpenIsACommunicationFailure) {
  const struct {
    const char *name;
    std::vector<std::uint8_t> answer; // in place of the logon's answer; null for no partner
    bool listening;
  } cases[] = {
      {"garbage", {'H', 'T', 'T', 'P', '/', '1', '.', '1', ' ', '4', '0', '0', '\n'}, true},
      {"closes", {}, true},
      {"refuses", {}, false},
  };
  for (const auto &c : cases) {
    std::unique_ptr<ScriptedPartner> partner;
    std::string address = RandomLoopbackAddress();
    if (c.listening) {
      partner = std::make_unique<ScriptedPartner>(c.answer, "3398", true);
      address = partner->Address();
    }
    const std::u16string host(address.begin(), address.end());
    const nwrfc::ConnectionParameter parameters[] = {{u"ASHOST", host.c_str()},
                                                     {u"SYSNR", u"98"},
                                                     {u"CLIENT", u"100"},
                                                     {u"USER", u"MONITOR"},
                                                     {u"PASSWD", u"x"}};
    nwrfc::ErrorInfo error{};
    EXPECT_EQ(RfcOpenConnection(parameters, 5, &error), nullptr) << c.name;
    EXPECT_EQ(error.code, nwrfc::kCommunicationFailure) << c.name;
    EXPECT_EQ(error.group, nwrfc::kGroupCommunicationFailure) << c.name;
    EXPECT_EQ(ErrorLine(error), c.listening ? "connection to partner '" + address + ":3398' broken"
                                            : "partner '" + address + ":3398' not reached")
        << c.name;
  }
}

TEST(NwRfcStandinTest, ANumFieldHoldsItsDigitsWithLeadingZeros) {
  EXPECT_EQ(nwrfclib::NumText(u"123   ", 6), u"000123");
  EXPECT_EQ(nwrfclib::NumText(u"  42", 3), u"042");
  EXPECT_EQ(nwrfclib::NumText(u"", 4), u"0000");
}

} // namespace
} // namespace kestrovan_test
