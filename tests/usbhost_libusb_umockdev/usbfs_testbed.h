// A mocked Linux USB stack for the libusb backend: umockdev's testbed holds
// the sysfs entries libusb and the backend read (bus and device numbers,
// descriptors, serial, hub ports) and the device files /dev/bus/usb/BBB/DDD,
// whose usbdevfs ioctls are answered here. Each meter's bulk URBs go to one
// of the simulator's virtual meters: OUT URBs are host writes on pipe 0, IN
// URBs reads on pipe 1, so what the virtual meter stores is what came
// through the real libusb and the real backend.
//
// The program runs under umockdev's preload (umockdev-wrapper); one testbed
// per process, built before the first usbhost call. The testbed points
// LX40_METER_LOCK_DIR into itself, for this process and its children.
#ifndef LX40_TESTS_USBHOST_LIBUSB_UMOCKDEV_USBFS_TESTBED_H
#define LX40_TESTS_USBHOST_LIBUSB_UMOCKDEV_USBFS_TESTBED_H

#include <memory>
#include <string>
#include <vector>

#include "meter/virtual_meter.h"

namespace usbfs_test {

struct MeterOptions {
  bool kernel_driver_bound = false;  // a driver holds the interface until detached
  bool in_never_completes = false;   // bulk IN URBs stay pending until discarded
};

class UsbfsTestbed {
 public:
  UsbfsTestbed();
  ~UsbfsTestbed();
  UsbfsTestbed(const UsbfsTestbed&) = delete;
  UsbfsTestbed& operator=(const UsbfsTestbed&) = delete;

  void AddRootHub(int bus, int ports);
  void AddHub(int bus, const std::vector<int>& ports, int address, int child_ports);
  void AddMeter(int bus, const std::vector<int>& ports, int address,
                std::shared_ptr<usbsim::VirtualMeter> meter, MeterOptions options = {});
  // From now on the meter's bulk IN URBs never complete (until discarded),
  // as a meter whose firmware hangs.
  void StopInCompletions(int bus, int address);
  // The meter is pulled out: every usbdevfs call on it fails with ENODEV,
  // URBs in flight end with -ESHUTDOWN, and its sysfs entry goes.
  void RemoveMeter(int bus, int address);

  // How often the kernel driver was detached from and attached again to the
  // meter's interface.
  int Detaches(int bus, int address) const;
  int Reattaches(int bus, int address) const;
  // The testbed's folder, so a test can change what a user may open there.
  std::string RootDir() const;

  // Whether the meter's interface is claimed now.
  bool Claimed(int bus, int address) const;

  struct Node;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace usbfs_test

#endif
