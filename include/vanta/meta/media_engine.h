// The host's media engine, driven by the module through a fixed table of operations, and the
// record it joins a channel with.
//
// Implemented by the host and attached with IRtcService::SetMediaEngine; the service then
// registers itself as the engine's event listener (op 10), so engine and service keep each other
// alive until the engine lets go of its listener. Called from host threads and from reply
// threads. Operations named EngineCallN are passed through for the host: their arguments and
// results mean what the engine says. Slots the module never calls are placeholders.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace vanta {
namespace meta {

class RtcMediaEventListener;

// Everything the engine needs to join a conference's media channel; the texts and the number
// are copied from the token answer of the conference adaptor.
struct JoinChannelInfo {
  std::string token_text4;
  std::string channel_id;  // the conference id
  std::string user_id;
  std::string token;
  std::string token_text6;
  int64_t token_number5 = 0;
  std::string token_text3;
};

class MediaEngine {
 public:
  virtual ~MediaEngine() = default;
  virtual void EngineCall1(const bool& flag) = 0;             // op 1: the context's TestUser answer
  virtual void EngineCall2() = 0;                             // op 2
  virtual void EngineCall3() = 0;                             // op 3
  virtual void JoinChannel(const JoinChannelInfo& info) = 0;  // op 4
  virtual void LeaveChannel() = 0;                            // op 5
  virtual void EngineCall6(const std::string& user_id) = 0;   // op 6
  virtual void EngineCall7(const std::string& user_id) = 0;   // op 7
  virtual int32_t EngineCall8(int32_t arg) = 0;               // op 8
  virtual int32_t EngineCall9(int32_t arg) = 0;               // op 9
  virtual void SetEventListener(const std::shared_ptr<RtcMediaEventListener>& listener) = 0;
  virtual void Reserved11() {}
  virtual void Reserved12() {}
  virtual void Reserved13() {}
  virtual void Reserved14() {}
  virtual void Reserved15() {}
  virtual void Reserved16() {}
  virtual void Reserved17() {}
  virtual void Reserved18() {}
  virtual void Reserved19() {}
  virtual void Reserved20() {}
  virtual void Reserved21() {}
  virtual void Reserved22() {}
  virtual void Reserved23() {}
  virtual void Reserved24() {}
  virtual void Reserved25() {}
  virtual void Reserved26() {}
  virtual int32_t EngineCall27(int32_t arg1, int32_t arg2) = 0;  // op 27
  // op 28: 0 means sharing has started; the engine later reports the share state.
  virtual int32_t StartScreenShareByDesktopId(int32_t arg1, int32_t arg2) = 0;
  virtual int32_t StartScreenShareAlt(int32_t arg1, int32_t arg2) = 0;  // op 29: as op 28
  virtual void EngineCall30() = 0;                                      // op 30
  virtual int32_t EngineCall31(int32_t arg) = 0;                        // op 31
  virtual int32_t EngineCall32(int32_t arg) = 0;                        // op 32
};

}  // namespace meta
}  // namespace vanta
