// Finding the GIF images a page shows, and turning the queued references into
// the follow-up fetches of a run.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "measure/run_state.h"

namespace kurvane {

// Scans one received chunk (bytes up to its first zero byte, at most one
// receive buffer) for the SRC of IMG tags and queues every new GIF reference,
// counting it in GifCount. Nothing carries over between chunks.
void ScanImageReferences(std::string_view chunk, ImageQueue& queue, std::int32_t& GifCount);

// After a fetch: when images are wanted and the queue is not empty, sets
// ImageMode, TargetAddress and ImagePath for the next fetch from the queue's
// first entry, removes it, and answers true. typedAddress is the address field
// exactly as typed, against which relative references are resolved.
bool TakeNextImage(Unit1State& state, bool imagesWanted, const std::string& typedAddress);

}  // namespace kurvane
