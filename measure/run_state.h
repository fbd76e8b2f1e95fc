// The state one measurement run works on: the variables the main unit has
// always shared between the run, request preparation, the image scanner and
// the report, gathered in one struct the run owns.
#pragma once

#include <cstdint>
#include <string>

#include "measure/image_queue.h"

namespace kurvane {

inline constexpr std::int32_t kDefaultPacketSize = 128;  // bytes per packet
inline constexpr double kDefaultPacketPrice = 0.3;  // yen per packet

struct Unit1State {
    std::string TargetAddress;  // address of the current fetch
    std::string ImagePath;  // request path of an image fetch
    bool ImageMode = false;  // the current fetch is an image's
    std::int32_t GifCount = 0;  // distinct GIF references of the run
    bool ResolveFailed = false;
    std::string HostName;
    std::string RequestPath;
    std::int32_t PacketSize = kDefaultPacketSize;
    double PacketPrice = kDefaultPacketPrice;
    // Byte counts of the run. 64-bit so that pages beyond 2 GiB still count right.
    std::int64_t RunSent = 0;
    std::int64_t RunReceived = 0;
    ImageQueue ListBox1;  // images still to fetch
};

}  // namespace kurvane
