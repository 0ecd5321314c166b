// Names shared by the benchmark registrations and by the table report.cc prints from their
// results: "<operation>/<body>", and within each the implementations compared.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace bench {

inline constexpr char kDecode[] = "decode";
inline constexpr char kDecodeScaling[] = "decode-scaling";
inline constexpr char kEncode[] = "encode";
inline constexpr char kEncodeRequest[] = "encode-request";
inline constexpr char kRequest[] = "request";

inline constexpr char kOurs[] = "ours";
inline constexpr char kPeer[] = "msgpack-cxx";
inline constexpr char kFloor[] = "string-floor";
inline constexpr char kMemcpy[] = "memcpy";
inline constexpr char kScaling100[] = "100-users";
inline constexpr char kScalingTen100[] = "100-users-ten-bodies";
inline constexpr char kScaling1000[] = "1000-users";

inline constexpr char kConfDetailRealistic[] = "conf-detail-20-realistic";
inline constexpr char kConfDetailShort[] = "conf-detail-20-short";
inline constexpr char kUserList[] = "user-list";
inline constexpr char kUserList100[] = "user-list-100";
inline constexpr char kUserList1000[] = "user-list-1000";
inline constexpr char kKick[] = "kick-3";
inline constexpr char kKickSmallAnswer[] = "kick-members-small-answer";
inline constexpr char kConfDetailLargeAnswer[] = "get-conf-detail-large-answer";

void RegisterCodecBenchmarks();
// Runs `count` operations of one implementation of a registered codec benchmark ("encode/kick-3",
// "ours") and nothing else; false when there is none.
bool RunOperations(const std::string& benchmark, const std::string& implementation, int64_t count);
// The 25 request models, in the order of the operation tables.
std::vector<std::string> RequestModelNames();
void RegisterRequestBenchmarks();

}  // namespace bench
