// Frame headers: what DecodeHeader accepts is exactly what SerializeFrame writes, and what it
// refuses breaks one of the header's rules.
#include <algorithm>
#include <array>
#include <cstdint>

#include "fuzz_check.h"
#include "wire/wire_frame.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  if (size < rfcwire::kHeaderSize) {
    return 0;
  }
  std::array<std::uint8_t, rfcwire::kHeaderSize> bytes{};
  std::copy_n(data, rfcwire::kHeaderSize, bytes.begin());
  const std::uint32_t announced = (std::uint32_t{bytes[8]} << 24) |
                                  (std::uint32_t{bytes[9]} << 16) |
                                  (std::uint32_t{bytes[10]} << 8) | std::uint32_t{bytes[11]};
  const bool valid = std::equal(rfcwire::kMagic.begin(), rfcwire::kMagic.end(), bytes.begin()) &&
                     bytes[4] == rfcwire::kProtocolVersion && bytes[5] >= 1 && bytes[5] <= 10 &&
                     bytes[6] == 0 && bytes[7] == 0 && announced <= rfcwire::kMaxPayload;
  rfcwire::FrameHeader header;
  const std::string problem = rfcwire::DecodeHeader(bytes, header);
  FUZZ_CHECK(problem.empty() == valid);
  if (!valid) {
    return 0;
  }
  FUZZ_CHECK(header.payload_size == announced);
  rfcwire::Frame frame;
  frame.type = header.type;
  std::vector<std::uint8_t> again = rfcwire::SerializeFrame(frame);
  FUZZ_CHECK(again.size() == rfcwire::kHeaderSize);
  std::copy(bytes.begin() + 8, bytes.end(), again.begin() + 8);
  FUZZ_CHECK(std::equal(again.begin(), again.end(), bytes.begin()));
  return 0;
}
