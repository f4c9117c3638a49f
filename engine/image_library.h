#pragma once

// Setting up the image library for this process, and what it can write.

#include <string>
#include <string_view>
#include <vector>

namespace krumple {

// libvips set-up for this process: cache off, non-image loaders blocked.
// Called by everything above; safe from any thread.
void ensureImageLibrary();

// Call before a thread that used libvips ends.
void releaseImageLibraryThread();

// The type identifiers the writer can really encode, probed once per process
// by a tiny encode per format.
const std::vector<std::string>& writableTypeIdentifiers();
// Whether one type identifier can be encoded; probes only that type.
bool canEncode(std::string_view typeIdentifier);

}  // namespace krumple
