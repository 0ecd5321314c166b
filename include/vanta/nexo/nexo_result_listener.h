// Completion of an asynchronous engine step (the asynchronous manager initialisation). The
// receiver calls exactly one of the two, once, on any thread.
#pragma once

#include "vanta/nexo/nexo_error.h"

namespace vanta {
namespace nexo {

class NexoResultListener {
 public:
  virtual ~NexoResultListener() = default;
  virtual void OnSuccess() = 0;
  virtual void OnFailure(const NexoError& error) = 0;
};

}  // namespace nexo
}  // namespace vanta
