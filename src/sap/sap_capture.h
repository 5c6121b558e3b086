#pragma once

#include "common/notice.h"
#include "streams/register_streams.h"
#include "sap/sap_choices.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

// The frames of a SAP file's music as the choices ask: 9 registers a frame,
// with two chips chip 1's and then chip 2's nine. TYPE R gives its frames as they stand; TYPE B and C are played
// for the chosen subsong and time. Notices tell of a time the file did not
// give and of bytes left over. Throws Ex naming the file and the fault.
FrameCaptures captureSapFrames(std::span<const uint8_t> file, const SapChoices& choices,
                                      const std::string& name, Notices& notices);
