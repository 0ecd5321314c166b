#include "reference/room.h"

#include <utility>

namespace refhost {

std::string ReferenceRoom::GetPluginInstanceId(const std::string& type) {
  calls_.Add({0, type, {}});
  return InstanceId(type);
}

void ReferenceRoom::SetPluginInstanceId(const std::string& type, const std::string& id) {
  calls_.Add({1, type, id});
  std::lock_guard<std::mutex> lock(mu_);
  ids_[type] = id;
}

void ReferenceRoom::RemovePluginInstanceId(const std::string& type) {
  calls_.Add({2, type, {}});
  std::lock_guard<std::mutex> lock(mu_);
  ids_.erase(type);
}

vanta::meta::RoomDetail ReferenceRoom::GetRoomDetail() {
  calls_.Add({3, {}, {}});
  std::lock_guard<std::mutex> lock(mu_);
  return detail_;
}

void ReferenceRoom::SetDetail(vanta::meta::RoomDetail detail) {
  std::lock_guard<std::mutex> lock(mu_);
  detail_ = std::move(detail);
}

std::string ReferenceRoom::InstanceId(const std::string& type) const {
  std::lock_guard<std::mutex> lock(mu_);
  auto it = ids_.find(type);
  return it == ids_.end() ? std::string() : it->second;
}

std::map<std::string, std::string> ReferenceRoom::InstanceIds() const {
  std::lock_guard<std::mutex> lock(mu_);
  return ids_;
}

std::shared_ptr<vanta::meta::LiveManager> ReferenceLiveModule::GetLiveManager() {
  calls_.Add(0);
  std::lock_guard<std::mutex> lock(mu_);
  return manager_;
}

void ReferenceLiveModule::SetLiveManager(std::shared_ptr<vanta::meta::LiveManager> manager) {
  std::lock_guard<std::mutex> lock(mu_);
  manager_ = std::move(manager);
}

ReferenceServiceContext::ReferenceServiceContext(std::string user_id, std::string room_id)
    : user_id_(std::move(user_id)), room_id_(std::move(room_id)) {}

std::string ReferenceServiceContext::GetUserId() {
  calls_.Add({1, {}});
  return user_id_;
}

std::string ReferenceServiceContext::GetRoomId() {
  calls_.Add({2, {}});
  return room_id_;
}

std::shared_ptr<vanta::meta::Room> ReferenceServiceContext::GetRoom() {
  calls_.Add({3, {}});
  std::lock_guard<std::mutex> lock(mu_);
  return room_;
}

vanta::meta::UserRecord ReferenceServiceContext::GetUserRecord() {
  calls_.Add({5, {}});
  std::lock_guard<std::mutex> lock(mu_);
  return user_record_;
}

bool ReferenceServiceContext::TestUser(std::string user_id) {
  calls_.Add({6, std::move(user_id)});
  std::lock_guard<std::mutex> lock(mu_);
  return test_user_answer_;
}

std::shared_ptr<vanta::meta::RoomManager> ReferenceServiceContext::GetRoomManager() {
  calls_.Add({7, {}});
  std::lock_guard<std::mutex> lock(mu_);
  return room_manager_;
}

std::shared_ptr<vanta::meta::LiveModule> ReferenceServiceContext::GetLiveModule() {
  calls_.Add({8, {}});
  std::lock_guard<std::mutex> lock(mu_);
  return live_module_;
}

void ReferenceServiceContext::SetRoom(std::shared_ptr<vanta::meta::Room> room) {
  std::lock_guard<std::mutex> lock(mu_);
  room_ = std::move(room);
}

void ReferenceServiceContext::SetRoomManager(std::shared_ptr<vanta::meta::RoomManager> manager) {
  std::lock_guard<std::mutex> lock(mu_);
  room_manager_ = std::move(manager);
}

void ReferenceServiceContext::SetLiveModule(std::shared_ptr<vanta::meta::LiveModule> module) {
  std::lock_guard<std::mutex> lock(mu_);
  live_module_ = std::move(module);
}

void ReferenceServiceContext::SetUserRecord(vanta::meta::UserRecord record) {
  std::lock_guard<std::mutex> lock(mu_);
  user_record_ = std::move(record);
}

void ReferenceServiceContext::SetTestUserAnswer(bool answer) {
  std::lock_guard<std::mutex> lock(mu_);
  test_user_answer_ = answer;
}

}  // namespace refhost
