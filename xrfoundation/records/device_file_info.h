// records/device_file_info.h: one file or folder on the device, as the application fills it
// from the device's listing and passes it around. The library gives the fields no meaning.
// Texts and times may be read and written from several threads (each read gets a whole old or
// new value); fields written together are not seen together.
#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "xrfoundation/export.h"
#include "xrfoundation/platform/guarded.h"

namespace xr {

// A point in time on the device's file system; absent where the device gave none.
using DeviceFileTime = std::chrono::system_clock::time_point;

// Read-only view of a device file. Every operation has a default, so that an implementer
// answers only what it knows: no text, no time, 0 and false.
class XR_EXPORT IDeviceFileInfo {
 public:
  virtual ~IDeviceFileInfo() = default;
  // The file's name.
  virtual std::optional<std::string> fileName() const { return std::nullopt; }
  // The path on the device.
  virtual std::optional<std::string> filePath() const { return std::nullopt; }
  // The size in bytes.
  virtual int64_t fileSize() const { return 0; }
  // Attribute bits as the device reports them.
  virtual int32_t fileAttributes() const { return 0; }
  // Whether the entry is a folder.
  virtual bool isFolder() const { return false; }
  // When the entry was created.
  virtual std::optional<DeviceFileTime> creationTime() const { return std::nullopt; }
  // When the entry was last written.
  virtual std::optional<DeviceFileTime> lastWriteTime() const { return std::nullopt; }
};

// The record the application fills; every field has a getter and a setter.
class XR_EXPORT DeviceFileInfo : public IDeviceFileInfo {
 public:
  // Every field zero, false or absent.
  DeviceFileInfo() = default;
  DeviceFileInfo(const DeviceFileInfo&) = delete;
  DeviceFileInfo& operator=(const DeviceFileInfo&) = delete;

  std::optional<std::string> fileName() const override { return fileName_.get(); }
  // Sets the file's name.
  void setFileName(std::optional<std::string> name) { fileName_.set(std::move(name)); }
  std::optional<std::string> filePath() const override { return filePath_.get(); }
  // Sets the path on the device.
  void setFilePath(std::optional<std::string> path) { filePath_.set(std::move(path)); }
  int64_t fileSize() const override { return fileSize_.load(std::memory_order_relaxed); }
  // Sets the size in bytes.
  void setFileSize(int64_t size) { fileSize_.store(size, std::memory_order_relaxed); }
  // Attribute bits as the device reports them.
  int32_t fileAttributes() const override {
    return fileAttributes_.load(std::memory_order_relaxed);
  }
  // Sets the attribute bits.
  void setFileAttributes(int32_t bits) { fileAttributes_.store(bits, std::memory_order_relaxed); }
  bool isFolder() const override { return isFolder_.load(std::memory_order_relaxed); }
  // Sets whether the entry is a folder.
  void setIsFolder(bool folder) { isFolder_.store(folder, std::memory_order_relaxed); }
  // Whether the entry exists on the device; not part of IDeviceFileInfo.
  bool isExists() const { return isExists_.load(std::memory_order_relaxed); }
  // Sets whether the entry exists on the device.
  void setIsExists(bool exists) { isExists_.store(exists, std::memory_order_relaxed); }
  std::optional<DeviceFileTime> creationTime() const override { return creationTime_.get(); }
  // Sets the creation time, or clears it.
  void setCreationTime(std::optional<DeviceFileTime> time) { creationTime_.set(time); }
  std::optional<DeviceFileTime> lastWriteTime() const override { return lastWriteTime_.get(); }
  // Sets the last write time, or clears it.
  void setLastWriteTime(std::optional<DeviceFileTime> time) { lastWriteTime_.set(time); }

 private:
  Guarded<std::optional<std::string>> fileName_;
  Guarded<std::optional<std::string>> filePath_;
  // The scalars are plain values for the application; atomic so that a reader on another
  // thread is well defined.
  std::atomic<int64_t> fileSize_{0};
  std::atomic<int32_t> fileAttributes_{0};
  std::atomic<bool> isFolder_{false};
  std::atomic<bool> isExists_{false};
  Guarded<std::optional<DeviceFileTime>> creationTime_;
  Guarded<std::optional<DeviceFileTime>> lastWriteTime_;
};

}  // namespace xr
