#include "params/ParamExchange.h"

#include <string>

#include "link/Channel.h"

namespace params {

std::optional<TReadOut> ReadParams() {
  RxText().Clear();
  SendAndWait(kReadCommand, kReadWaitMs);
  if (!RxText().Contains(kPrompt)) return std::nullopt;
  const std::string& reply = RxText().Text();
  return TReadOut{ParseReply(reply), IsWellFormedReply(reply)};
}

bool WriteParams(const TParamImage& image, const std::function<void(int byte)>& onByte) {
  RxText().Clear();
  SendAndWait("\r", kPromptWaitMs);
  if (!RxText().Contains(kPrompt)) return false;
  ParamImage = image;
  RxText().Clear();
  SendAndWait(kWriteCommand, kWriteCommandWaitMs);
  const TParamFrame frame = WriteFrame(ParamImage);
  for (int i = 0; i < kFrameBytes; ++i) {
    if (onByte) onByte(i);
    // One raw byte, whatever its value.
    SendAndWait(std::string(1, static_cast<char>(frame[i])), kByteWaitMs);
    RxText().Append(".");
    if (i == kParamBytes - 1) RxText().Append("*");
  }
  return true;
}

std::optional<std::vector<TDifference>> VerifyParams(const TParamImage& written) {
  const std::optional<TReadOut> held = ReadParams();
  if (!held) return std::nullopt;
  return WriteDifferences(written, held->Image);
}

}  // namespace params
