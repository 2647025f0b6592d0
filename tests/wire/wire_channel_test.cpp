// Frames received over a socket: whole as announced, and held only as their bytes arrive.
#include <gtest/gtest.h>

#include <sys/socket.h>

#include <thread>

#include "wire/wire_channel.h"

namespace {

using namespace std::chrono_literals;

constexpr std::size_t kMiB = 1024 * 1024;

/// The two ends of a local stream.
struct Pair {
  Pair() {
    int ends[2] = {-1, -1};
    EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
    sender = rfcwire::Socket(ends[0]);
    receiver = rfcwire::Socket(ends[1]);
  }
  rfcwire::Socket sender, receiver;
};

/// A frame's header announcing `announced` payload bytes, followed by `sent` of them.
std::vector<std::uint8_t> FrameBytes(std::uint32_t announced, std::size_t sent) {
  rfcwire::Frame frame{rfcwire::MessageType::Close, std::vector<std::uint8_t>(sent)};
  for (std::size_t i = 0; i < sent; ++i) {
    frame.payload[i] = static_cast<std::uint8_t>(i % 251);
  }
  std::vector<std::uint8_t> bytes = rfcwire::SerializeFrame(frame);
  for (int i = 0; i < 4; ++i) {
    bytes[8 + i] = static_cast<std::uint8_t>(announced >> (24 - 8 * i));
  }
  return bytes;
}

TEST(WireChannel, AFrameAnnouncedLargeButSentShortHoldsLittleMoreThanArrived) {
  Pair pair;
  const std::vector<std::uint8_t> bytes = FrameBytes(rfcwire::kMaxPayload, kMiB + 4096);
  std::thread send([&] {
    std::string detail;
    rfcwire::SendAll(pair.sender, bytes, rfcwire::Clock::now() + 10s, detail);
  });
  const rfcwire::Received received =
      rfcwire::ReceiveFrame(pair.receiver, rfcwire::Clock::now() + 2s);
  send.join();
  EXPECT_EQ(received.status, rfcwire::ReceiveStatus::Timeout);
  EXPECT_LE(received.frame.payload.capacity(), 4 * kMiB);
}

TEST(WireChannel, ALargeFrameArrivesWhole) {
  Pair pair;
  const std::size_t size = 3 * kMiB + 5;
  const std::vector<std::uint8_t> bytes = FrameBytes(static_cast<std::uint32_t>(size), size);
  std::thread send([&] {
    std::string detail;
    rfcwire::SendAll(pair.sender, bytes, rfcwire::Clock::now() + 10s, detail);
  });
  const rfcwire::Received received =
      rfcwire::ReceiveFrame(pair.receiver, rfcwire::Clock::now() + 10s);
  send.join();
  ASSERT_EQ(received.status, rfcwire::ReceiveStatus::Ok) << received.detail;
  EXPECT_TRUE(std::equal(received.frame.payload.begin(), received.frame.payload.end(),
                         bytes.begin() + rfcwire::kHeaderSize, bytes.end()));
  EXPECT_EQ(received.frame.payload.size(), size);
}

} // namespace
