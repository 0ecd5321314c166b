// The reference host's room, service context and live module.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "reference/call_log.h"
#include "vanta/meta/service_context.h"

namespace refhost {

// One call on the room: op 0 get, 1 set, 2 remove, 3 detail.
struct RoomCall {
  int op = 0;
  std::string type;
  std::string id;  // set: the id stored
};

class ReferenceRoom : public vanta::meta::Room {
 public:
  ReferenceRoom() = default;
  explicit ReferenceRoom(vanta::meta::RoomDetail detail) : detail_(std::move(detail)) {}

  std::string GetPluginInstanceId(const std::string& type) override;
  void SetPluginInstanceId(const std::string& type, const std::string& id) override;
  void RemovePluginInstanceId(const std::string& type) override;
  vanta::meta::RoomDetail GetRoomDetail() override;

  void SetDetail(vanta::meta::RoomDetail detail);
  // The stored instance id of `type` without recording a call; empty if none.
  std::string InstanceId(const std::string& type) const;
  std::map<std::string, std::string> InstanceIds() const;
  const CallLog<RoomCall>& calls() const { return calls_; }

 private:
  mutable std::mutex mu_;
  vanta::meta::RoomDetail detail_;
  std::map<std::string, std::string> ids_;
  CallLog<RoomCall> calls_;
};

class ReferenceLiveModule : public vanta::meta::LiveModule {
 public:
  explicit ReferenceLiveModule(std::shared_ptr<vanta::meta::LiveManager> manager = nullptr)
      : manager_(std::move(manager)) {}

  std::shared_ptr<vanta::meta::LiveManager> GetLiveManager() override;

  void SetLiveManager(std::shared_ptr<vanta::meta::LiveManager> manager);
  std::size_t calls() const { return calls_.size(); }

 private:
  mutable std::mutex mu_;
  std::shared_ptr<vanta::meta::LiveManager> manager_;
  CallLog<int> calls_;
};

// One call on the context: its op number and, for TestUser, the user id asked about.
struct ContextCall {
  int op = 0;
  std::string user_id;
};

class ReferenceServiceContext : public vanta::meta::ServiceContext {
 public:
  ReferenceServiceContext(std::string user_id, std::string room_id);

  std::string GetUserId() override;
  std::string GetRoomId() override;
  std::shared_ptr<vanta::meta::Room> GetRoom() override;
  vanta::meta::UserRecord GetUserRecord() override;
  bool TestUser(std::string user_id) override;
  std::shared_ptr<vanta::meta::RoomManager> GetRoomManager() override;
  std::shared_ptr<vanta::meta::LiveModule> GetLiveModule() override;
  void Reserved4() override { calls_.Add({4, {}}); }  // never called by the module

  // What the accessors answer; each may be set to empty.
  void SetRoom(std::shared_ptr<vanta::meta::Room> room);
  void SetRoomManager(std::shared_ptr<vanta::meta::RoomManager> manager);
  void SetLiveModule(std::shared_ptr<vanta::meta::LiveModule> module);
  void SetUserRecord(vanta::meta::UserRecord record);
  void SetTestUserAnswer(bool answer);

  const CallLog<ContextCall>& calls() const { return calls_; }

 private:
  const std::string user_id_;
  const std::string room_id_;
  mutable std::mutex mu_;
  std::shared_ptr<vanta::meta::Room> room_;
  std::shared_ptr<vanta::meta::RoomManager> room_manager_;
  std::shared_ptr<vanta::meta::LiveModule> live_module_;
  vanta::meta::UserRecord user_record_;
  bool test_user_answer_ = false;
  CallLog<ContextCall> calls_;
};

}  // namespace refhost
