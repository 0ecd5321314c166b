// A minimal host of the rtc_service plug-in: load the plug-in, initialise it once the engine is
// up, let the engine sign a user in, create the service of one room and run one operation,
// printing the answer. The engine is the stand-in engine with the adaptor simulator as its
// transport, so the whole session runs in this process.
//
//   minimal_host [path of the plug-in]     (default: the installed plug-in it was built against)
//
// Exit status 0 when the operation succeeded, 1 otherwise.
#include <chrono>
#include <future>
#include <iostream>
#include <memory>
#include <string>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include "nexo_standin/engine_control.h"
#include "rtc_sim/simulator.h"
#include "vanta/meta/i_plugin.h"
#include "vanta/meta/i_rtc_service.h"
#include "vanta/meta/service_context.h"
#include "vanta/nexo/nexo_error.h"

namespace {

using vanta::meta::RtcFailureFunc;
using vanta::meta::RtcSuccessFunc;
using vanta::nexo::NexoError;

// The address of GetIPlugin in the plug-in at `path`, or null with `error` set. The plug-in
// stays loaded until the process ends: its process-wide objects live that long.
void* FindGetIPlugin(const std::string& path, std::string* error) {
#if defined(_WIN32)
  HMODULE library = LoadLibraryA(path.c_str());
  if (library == nullptr) {
    *error = "cannot load " + path + " (error " + std::to_string(GetLastError()) + ")";
    return nullptr;
  }
  void* symbol = reinterpret_cast<void*>(GetProcAddress(library, vanta::meta::kGetIPluginSymbol));
#else
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    *error = dlerror();
    return nullptr;
  }
  void* symbol = dlsym(library, vanta::meta::kGetIPluginSymbol);
#endif
  if (symbol == nullptr) *error = path + " has no " + vanta::meta::kGetIPluginSymbol;
  return symbol;
}

// The host objects the service calls, from host threads and from the engine's reply threads:
// each is thread-safe because it keeps nothing but constants and the thread-safe simulator.

// The room's plug-in instances (its conference, its live) live in the simulator's directory,
// which every host of the room shares.
class Room : public vanta::meta::Room {
 public:
  Room(rtc_sim::AdaptorSimulator& simulator, std::string room_id, std::string owner_id)
      : simulator_(simulator), room_id_(std::move(room_id)), owner_id_(std::move(owner_id)) {}
  std::string GetPluginInstanceId(const std::string& type) override {
    return simulator_.InstanceId(room_id_, type);
  }
  void SetPluginInstanceId(const std::string& type, const std::string& id) override {
    simulator_.SetInstanceId(room_id_, type, id);
  }
  void RemovePluginInstanceId(const std::string& type) override {
    simulator_.RemoveInstanceId(room_id_, type);
  }
  vanta::meta::RoomDetail GetRoomDetail() override {
    return {room_id_, "Minimal room", "", owner_id_};
  }

 private:
  rtc_sim::AdaptorSimulator& simulator_;
  const std::string room_id_;
  const std::string owner_id_;
};

// Creates and destroys the room's conference and creates its live on the simulated server,
// answering inside the call.
class RoomManager : public vanta::meta::RoomManager {
 public:
  RoomManager(rtc_sim::AdaptorSimulator& simulator, std::string room_id, std::string user_id)
      : simulator_(simulator), room_id_(std::move(room_id)), user_id_(std::move(user_id)) {}
  void CreateLive(const vanta::room::CreateLiveReq& req,
                  const RtcSuccessFunc<vanta::room::CreateLiveRsp>& on_success,
                  const RtcFailureFunc& on_failure) override {
    vanta::room::CreateLiveRsp rsp;
    Answer(simulator_.CreateLive(room_id_, req, &rsp), rsp, on_success, on_failure);
  }
  void CreateRtc(const vanta::room::CreateRtcReq& req,
                 const RtcSuccessFunc<vanta::room::CreateRtcRsp>& on_success,
                 const RtcFailureFunc& on_failure) override {
    vanta::room::CreateRtcRsp rsp;
    Answer(simulator_.CreateConference(room_id_, req, &rsp), rsp, on_success, on_failure);
  }
  void DestroyRtc(const vanta::room::DestroyRtcReq& req,
                  const RtcSuccessFunc<vanta::room::DestroyRtcRsp>& on_success,
                  const RtcFailureFunc& on_failure) override {
    Answer(simulator_.DestroyConference(user_id_, req), vanta::room::DestroyRtcRsp(), on_success,
           on_failure);
  }

 private:
  template <class Rsp>
  static void Answer(const rtc_sim::Status& status, const Rsp& rsp,
                     const RtcSuccessFunc<Rsp>& on_success, const RtcFailureFunc& on_failure) {
    if (status.ok()) {
      on_success(rsp);
    } else {
      on_failure(rtc_sim::ToNexoError(status));
    }
  }

  rtc_sim::AdaptorSimulator& simulator_;
  const std::string room_id_;
  const std::string user_id_;
};

// What the service is made for: the signed-in user in one room.
class ServiceContext : public vanta::meta::ServiceContext {
 public:
  ServiceContext(rtc_sim::AdaptorSimulator& simulator, std::string user_id, std::string room_id)
      : user_id_(user_id),
        room_id_(room_id),
        room_(std::make_shared<Room>(simulator, room_id, user_id)),
        room_manager_(std::make_shared<RoomManager>(simulator, room_id, user_id)) {}
  std::string GetUserId() override { return user_id_; }
  std::string GetRoomId() override { return room_id_; }
  std::shared_ptr<vanta::meta::Room> GetRoom() override { return room_; }
  vanta::meta::UserRecord GetUserRecord() override { return {user_id_, "", "owner", user_id_}; }
  bool TestUser(std::string) override { return false; }
  std::shared_ptr<vanta::meta::RoomManager> GetRoomManager() override { return room_manager_; }
  // No live broadcasts in this host.
  std::shared_ptr<vanta::meta::LiveModule> GetLiveModule() override { return nullptr; }

 private:
  const std::string user_id_;
  const std::string room_id_;
  const std::shared_ptr<Room> room_;
  const std::shared_ptr<RoomManager> room_manager_;
};

void Print(const vanta::rtc::ConfInfo& info) {
  std::cout << "conference " << info.text1 << " of room " << info.text2 << ", owner " << info.text4
            << ", " << info.users.size() << " member(s):";
  for (const auto& user : info.users) std::cout << ' ' << user.user_id << " (" << user.text3 << ')';
  std::cout << std::endl;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string plugin_path = argc > 1 ? argv[1] : RTC_PLUGIN_PATH;
  const std::string user_id = "alice";
  const std::string room_id = "room-1";

  // The engine is up, its requests going to the simulated adaptors.
  rtc_sim::AdaptorSimulator simulator;
  nexo_standin::SetTransport(simulator.transport());
  nexo_standin::StartEngine("minimal-host");

  // Load the plug-in and initialise it: it registers its engine modules "rtc" and "class_scene".
  std::string error;
  void* symbol = FindGetIPlugin(plugin_path, &error);
  if (symbol == nullptr) {
    std::cerr << error << '\n';
    return 1;
  }
  vanta::meta::IPlugin* plugin = reinterpret_cast<vanta::meta::GetIPluginFunc>(symbol)();
  plugin->Init();

  // The engine signs the user in: the modules create and start the account's clients. A
  // service created before this keeps no clients for its whole life.
  const vanta::nexo::NexoUserId account{user_id, "pc"};
  nexo_standin::AddAccount(account);
  if (!nexo_standin::InitAccount(account)) {
    std::cerr << "the engine's modules did not start for " << user_id << '\n';
    return 1;
  }

  // The room has a conference, created the way the service's JoinRtc would create it.
  auto context = std::make_shared<ServiceContext>(simulator, user_id, room_id);
  context->GetRoomManager()->CreateRtc(
      {user_id, user_id, "Minimal room", {}, 0, ""},
      [&](const vanta::room::CreateRtcRsp& rsp) {
        context->GetRoom()->SetPluginInstanceId("rtc", rsp.rtc_id);
      },
      [](const NexoError& e) { std::cerr << "no conference: " << e.reason << '\n'; });

  // One service per room context; the host owns it and may cast it to IRtcService.
  std::shared_ptr<vanta::meta::IPluginService> service = plugin->CreateService(context);
  auto rtc = std::dynamic_pointer_cast<vanta::meta::IRtcService>(service);
  std::cout << "plug-in " << plugin_path << ": service \"" << service->GetServiceName() << '"'
            << std::endl;

  // One operation. The answer arrives on an engine thread, where the callback must not block;
  // the host waits with a timeout of its own, because some paths never call back.
  auto answer = std::make_shared<std::promise<int>>();
  rtc->GetConfDetail(
      [answer](const vanta::rtc::GetConfDetailRsp& rsp) {
        std::cout << "GetConfDetail: ";
        Print(rsp.conf_info);
        answer->set_value(0);
      },
      [answer](const NexoError& e) {
        std::cout << "GetConfDetail failed: code " << e.code << ", reason \"" << e.reason << '"'
                  << std::endl;
        answer->set_value(1);
      });
  std::future<int> done = answer->get_future();
  int status = 1;
  if (done.wait_for(std::chrono::seconds(10)) == std::future_status::ready) {
    status = done.get();
  } else {
    std::cout << "GetConfDetail: no answer within 10 s" << std::endl;
  }

  // Releasing: drop the service, then the engine signs the user out (the modules stop the
  // account's worker threads). The plug-in itself lives until the process ends.
  rtc.reset();
  service.reset();
  nexo_standin::ReleaseAccount(account);
  nexo_standin::SetTransport(nullptr);
  nexo_standin::WaitUntilIdle();
  return status;
}
