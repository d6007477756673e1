#pragma once
// The parameter set's two exchanges with the receiver, over the command
// channel (link/Channel.h). Both may throw the port's error, which ends
// them where it happens: nothing more is sent.
#include <functional>
#include <optional>
#include <string_view>

#include "receiver/ParamSet.h"
#include "receiver/ParamVerify.h"

namespace params {

inline constexpr std::string_view kPrompt = "CMD>";
inline constexpr std::string_view kReadCommand = "e";
inline constexpr int kReadWaitMs = 2000;
inline constexpr int kPromptWaitMs = 1000;  // after the lone CR of the write
inline constexpr std::string_view kWriteCommand = "z";
inline constexpr int kWriteCommandWaitMs = 500;
inline constexpr int kByteWaitMs = 100;     // after every byte of the frame

// What a read-out got: the set cut from the reply, and whether the reply
// looked like the receiver's set.
struct TReadOut {
  TParamImage Image{};
  bool WellFormed = false;
};

// Clears the receive text, sends "e" and waits; the set cut from the reply,
// or nothing when the reply holds no prompt. ParamImage is the caller's to
// set.
std::optional<TReadOut> ReadParams();

// Clears the receive text, sends a CR and waits; without a prompt then,
// returns false having sent nothing more. Otherwise image becomes
// ParamImage, the receive text is cleared, "z" goes out, a wait, and then
// the frame one byte at a time, each byte followed by its own wait and a
// "." appended to the receive text, with a "*" after the set's 72 bytes.
// onByte(i) runs before byte i goes out.
bool WriteParams(const TParamImage& image, const std::function<void(int byte)>& onByte);

// After a write: reads the set back as the read-out does, and tells whether
// the receiver holds what was written (VerifyReadBack).
TVerification VerifyParams(const TParamImage& written);

}  // namespace params
