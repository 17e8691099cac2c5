#include "xrfoundation/records/device_file_info.h"

#include <utility>

namespace xr {

std::optional<std::string> DeviceFileInfo::fileName() const {
  std::lock_guard lock(mutex_);
  return fileName_;
}
void DeviceFileInfo::setFileName(std::optional<std::string> name) {
  std::lock_guard lock(mutex_);
  fileName_ = std::move(name);
}
std::optional<std::string> DeviceFileInfo::filePath() const {
  std::lock_guard lock(mutex_);
  return filePath_;
}
void DeviceFileInfo::setFilePath(std::optional<std::string> path) {
  std::lock_guard lock(mutex_);
  filePath_ = std::move(path);
}
std::optional<DeviceFileTime> DeviceFileInfo::creationTime() const {
  std::lock_guard lock(mutex_);
  return creationTime_;
}
void DeviceFileInfo::setCreationTime(std::optional<DeviceFileTime> time) {
  std::lock_guard lock(mutex_);
  creationTime_ = time;
}
std::optional<DeviceFileTime> DeviceFileInfo::lastWriteTime() const {
  std::lock_guard lock(mutex_);
  return lastWriteTime_;
}
void DeviceFileInfo::setLastWriteTime(std::optional<DeviceFileTime> time) {
  std::lock_guard lock(mutex_);
  lastWriteTime_ = time;
}

}  // namespace xr
