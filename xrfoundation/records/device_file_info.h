// records/device_file_info.h: one file or folder on the device, as the application fills it
// from the device's listing and passes it around. The library gives the fields no meaning.
// Texts and times may be read and written from several threads (each read gets a whole old or
// new value); fields written together are not seen together.
#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

namespace xr {

// A point in time on the device's file system; absent where the device gave none.
using DeviceFileTime = std::chrono::system_clock::time_point;

// Read-only view of a device file. Every operation has a default, so that an implementer
// answers only what it knows: no text, no time, 0 and false.
class IDeviceFileInfo {
 public:
  virtual ~IDeviceFileInfo() = default;
  virtual std::optional<std::string> fileName() const { return std::nullopt; }
  virtual std::optional<std::string> filePath() const { return std::nullopt; }
  virtual int64_t fileSize() const { return 0; }
  virtual int32_t fileAttributes() const { return 0; }
  virtual bool isFolder() const { return false; }
  virtual std::optional<DeviceFileTime> creationTime() const { return std::nullopt; }
  virtual std::optional<DeviceFileTime> lastWriteTime() const { return std::nullopt; }
};

class DeviceFileInfo : public IDeviceFileInfo {
 public:
  DeviceFileInfo() = default;  // every field zero, false or absent
  DeviceFileInfo(const DeviceFileInfo&) = delete;
  DeviceFileInfo& operator=(const DeviceFileInfo&) = delete;

  std::optional<std::string> fileName() const override;
  void setFileName(std::optional<std::string> name);
  std::optional<std::string> filePath() const override;  // the path on the device
  void setFilePath(std::optional<std::string> path);
  int64_t fileSize() const override { return fileSize_.load(std::memory_order_relaxed); }
  void setFileSize(int64_t size) { fileSize_.store(size, std::memory_order_relaxed); }
  // Attribute bits as the device reports them.
  int32_t fileAttributes() const override {
    return fileAttributes_.load(std::memory_order_relaxed);
  }
  void setFileAttributes(int32_t bits) { fileAttributes_.store(bits, std::memory_order_relaxed); }
  bool isFolder() const override { return isFolder_.load(std::memory_order_relaxed); }
  void setIsFolder(bool folder) { isFolder_.store(folder, std::memory_order_relaxed); }
  // Whether the entry exists on the device; not part of IDeviceFileInfo.
  bool isExists() const { return isExists_.load(std::memory_order_relaxed); }
  void setIsExists(bool exists) { isExists_.store(exists, std::memory_order_relaxed); }
  std::optional<DeviceFileTime> creationTime() const override;
  void setCreationTime(std::optional<DeviceFileTime> time);
  std::optional<DeviceFileTime> lastWriteTime() const override;
  void setLastWriteTime(std::optional<DeviceFileTime> time);

 private:
  mutable std::mutex mutex_;
  std::optional<std::string> fileName_;  // guarded by mutex_
  std::optional<std::string> filePath_;  // guarded by mutex_
  // The scalars are plain values for the application; atomic so that a reader on another
  // thread is well defined.
  std::atomic<int64_t> fileSize_{0};
  std::atomic<int32_t> fileAttributes_{0};
  std::atomic<bool> isFolder_{false};
  std::atomic<bool> isExists_{false};
  std::optional<DeviceFileTime> creationTime_;   // guarded by mutex_
  std::optional<DeviceFileTime> lastWriteTime_;  // guarded by mutex_
};

}  // namespace xr
