// Placeholder implementations: the API compiles and links while the simulator is written.
#include "rtc_sim/simulator.h"
#include "rtc_sim/traffic.h"

namespace rtc_sim {

const std::vector<std::string>& AdaptorUris() {
  static const std::vector<std::string> uris;
  return uris;
}
std::string ResolveUri(const std::string&) {
  return {};
}

#define STUB_CODEC(Ns, Op)                        \
  std::string Encode(const Ns::Op##Req&) {        \
    return {};                                    \
  }                                               \
  std::string Encode(const Ns::Op##Rsp&) {        \
    return {};                                    \
  }                                               \
  bool Decode(const std::string&, Ns::Op##Req*) { \
    return false;                                 \
  }                                               \
  bool Decode(const std::string&, Ns::Op##Rsp*) { \
    return false;                                 \
  }
#define STUB_RTC(Op, REQ, RSP, uri, failure, missing) STUB_CODEC(vanta::rtc, Op)
#define STUB_CLASS(Op, REQ, RSP, uri, failure) STUB_CODEC(vanta::sceneclass, Op)
VANTA_RTC_OPERATIONS(STUB_RTC)
VANTA_SCENECLASS_OPERATIONS(STUB_CLASS)

std::string EncodeError(const ErrorBody&) {
  return {};
}
bool DecodeError(const std::string&, ErrorBody*) {
  return false;
}
bool RequestJson(const std::string&, const std::string&, std::string*) {
  return false;
}
bool AnswerJson(const std::string&, int32_t, const std::string&, std::string*) {
  return false;
}
std::string ToHex(const std::string&) {
  return {};
}
bool FromHex(const std::string&, std::string*) {
  return false;
}
const char* OutcomeName(Outcome) {
  return "";
}
nexo_standin::Transport Tap(nexo_standin::Transport inner, Observer) {
  return inner;
}
bool ParseFaultSpec(const std::string&, std::vector<FaultRule>*, std::string*) {
  return false;
}
std::string FaultText(const FaultRule&) {
  return {};
}
std::string FaultActionText(const FaultRule&) {
  return {};
}
RefusalInfo Describe(Refusal) {
  return {0, "", ""};
}
Answer ErrorAnswer(int32_t status, const ErrorBody&) {
  return {status, {}};
}

class AdaptorSimulator::Core {};
AdaptorSimulator::AdaptorSimulator(SimulatorOptions) {}
AdaptorSimulator::~AdaptorSimulator() = default;
nexo_standin::Transport AdaptorSimulator::transport() {
  return {};
}
void AdaptorSimulator::AddFault(const FaultRule&) {}
bool AdaptorSimulator::AddFaults(const std::string&, std::string*) {
  return false;
}
void AdaptorSimulator::ClearFaults() {}
void AdaptorSimulator::ReleaseHeld() {}
bool AdaptorSimulator::SetScript(const std::string&, Script) {
  return false;
}
Status AdaptorSimulator::CreateConference(const std::string&, const vanta::room::CreateRtcReq&,
                                          vanta::room::CreateRtcRsp*) {
  return {};
}
Status AdaptorSimulator::DestroyConference(const std::string&, const vanta::room::DestroyRtcReq&) {
  return {};
}
Status AdaptorSimulator::CreateLive(const std::string&, const vanta::room::CreateLiveReq&,
                                    vanta::room::CreateLiveRsp*) {
  return {};
}
Status AdaptorSimulator::GetLiveDetail(const std::string&, vanta::live::LiveDetail*) {
  return {};
}
Status AdaptorSimulator::PublishLive(const std::string&, const vanta::live::PublishLiveReq&,
                                     vanta::live::PublishLiveRsp*) {
  return {};
}
std::string AdaptorSimulator::InstanceId(const std::string&, const std::string&) const {
  return {};
}
void AdaptorSimulator::SetInstanceId(const std::string&, const std::string&, const std::string&) {}
void AdaptorSimulator::RemoveInstanceId(const std::string&, const std::string&) {}
bool AdaptorSimulator::GetConference(const std::string&, vanta::rtc::ConfInfo*) const {
  return false;
}
bool AdaptorSimulator::GetClass(const std::string&, vanta::sceneclass::GetClassDetailRsp*) const {
  return false;
}

class TrafficRecorder::Sink {};
TrafficRecorder::TrafficRecorder(std::shared_ptr<Sink> sink) : sink_(std::move(sink)) {}
std::unique_ptr<TrafficRecorder> TrafficRecorder::Open(const std::string&, std::string*) {
  return nullptr;
}
TrafficRecorder::~TrafficRecorder() = default;
nexo_standin::Transport TrafficRecorder::Wrap(nexo_standin::Transport inner, Observer) {
  return inner;
}
size_t TrafficRecorder::lines() const {
  return 0;
}

class ReplayTransport::Core {};
ReplayTransport::ReplayTransport(std::shared_ptr<Core> core) : core_(std::move(core)) {}
std::unique_ptr<ReplayTransport> ReplayTransport::Open(const std::string&, std::string*,
                                                       ReplayOptions) {
  return nullptr;
}
ReplayTransport::~ReplayTransport() = default;
nexo_standin::Transport ReplayTransport::transport() {
  return {};
}
std::vector<std::string> ReplayTransport::problems() const {
  return {};
}
size_t ReplayTransport::remaining() const {
  return 0;
}

}  // namespace rtc_sim
