#include "usbfs_testbed.h"

#include <linux/ioctl.h>
#include <linux/usbdevice_fs.h>
#include <umockdev.h>

#include <algorithm>
#include <cstddef>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <stdexcept>

#include <sys/stat.h>

#include "bus/sim_descriptors.h"

namespace usbfs_test {

// One device file: its meter and what the mocked kernel holds for it. The
// handler runs on umockdev's thread; the test reads the counts.
struct UsbfsTestbed::Node {
  std::shared_ptr<usbsim::VirtualMeter> meter;
  MeterOptions options;
  UMockdevIoctlBase* handler = nullptr;
  std::string sysfs_path;
  mutable std::mutex mutex;
  bool removed = false;
  bool in_stopped = false;
  bool driver_bound = false;
  bool claimed = false;
  int detaches = 0;
  int reattaches = 0;
  // URBs as umockdev copies them from the client (this program or a child
  // process), each with its buffer resolved; ours to unref.
  std::deque<UMockdevIoctlData*> done;     // completed, to be reaped
  std::vector<UMockdevIoctlData*> flying;  // IN URBs that never complete
};

struct UsbfsTestbed::State {
  UMockdevTestbed* testbed = nullptr;
  std::map<std::pair<int, int>, std::unique_ptr<Node>> nodes;
};

namespace {

// The structure the ioctl's argument points to, copied from the client;
// umockdev writes changes back when the call completes.
UMockdevIoctlData* Resolve(UMockdevIoctlClient* client, size_t size) {
  return umockdev_ioctl_data_resolve(umockdev_ioctl_client_get_arg(client), 0, size, nullptr);
}

usbdevfs_urb* UrbOf(UMockdevIoctlData* data) { return reinterpret_cast<usbdevfs_urb*>(data->data); }

// Hands the next completed URB to a reaping client.
gboolean Reap(UMockdevIoctlClient* client, UMockdevIoctlData* urb) {
  UMockdevIoctlData* pointer = Resolve(client, sizeof(void*));
  umockdev_ioctl_data_set_ptr(pointer, 0, urb);
  umockdev_ioctl_client_complete(client, 0, 0);
  umockdev_ioctl_data_unref(pointer);
  umockdev_ioctl_data_unref(urb);
  return TRUE;
}

gboolean HandleIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer data) {
  auto* node = static_cast<UsbfsTestbed::Node*>(data);
  const unsigned long request = umockdev_ioctl_client_get_request(client);
  std::lock_guard lock(node->mutex);
  const auto fail = [client](int error) {
    umockdev_ioctl_client_complete(client, -1, error);
    return TRUE;
  };
  const auto succeed = [client]() {
    umockdev_ioctl_client_complete(client, 0, 0);
    return TRUE;
  };
  if (node->removed) {
    // The kernel keeps URBs of a gone device reapable (with an error).
    if ((request == USBDEVFS_REAPURBNDELAY || request == USBDEVFS_REAPURB) &&
        (!node->done.empty() || !node->flying.empty())) {
      UMockdevIoctlData* urb = nullptr;
      if (!node->done.empty()) {
        urb = node->done.front();
        node->done.pop_front();
      } else {
        urb = node->flying.back();
        node->flying.pop_back();
        UrbOf(urb)->status = -ESHUTDOWN;
      }
      return Reap(client, urb);
    }
    return fail(ENODEV);
  }
  switch (request) {
    case USBDEVFS_GET_CAPABILITIES: {
      UMockdevIoctlData* caps = Resolve(client, sizeof(uint32_t));
      const uint32_t value = USBDEVFS_CAP_BULK_CONTINUATION | USBDEVFS_CAP_NO_PACKET_SIZE_LIM |
                             USBDEVFS_CAP_REAP_AFTER_DISCONNECT | USBDEVFS_CAP_ZERO_PACKET;
      std::memcpy(caps->data, &value, sizeof value);
      succeed();
      umockdev_ioctl_data_unref(caps);
      return TRUE;
    }
    case USBDEVFS_GETDRIVER: {
      if (!node->driver_bound) return fail(ENODATA);
      UMockdevIoctlData* arg = Resolve(client, sizeof(usbdevfs_getdriver));
      auto* driver = reinterpret_cast<usbdevfs_getdriver*>(arg->data);
      std::snprintf(driver->driver, sizeof driver->driver, "usbserial_generic");
      succeed();
      umockdev_ioctl_data_unref(arg);
      return TRUE;
    }
    case USBDEVFS_IOCTL: {
      UMockdevIoctlData* arg = Resolve(client, sizeof(usbdevfs_ioctl));
      const int code = reinterpret_cast<usbdevfs_ioctl*>(arg->data)->ioctl_code;
      umockdev_ioctl_data_unref(arg);
      if (code == static_cast<int>(USBDEVFS_DISCONNECT)) {
        if (!node->driver_bound) return fail(ENODATA);
        node->driver_bound = false;
        ++node->detaches;
        return succeed();
      }
      if (code == static_cast<int>(USBDEVFS_CONNECT)) {
        if (node->claimed) return fail(EBUSY);
        node->driver_bound = true;
        ++node->reattaches;
        return succeed();
      }
      return fail(ENOTTY);
    }
    case USBDEVFS_CLAIMINTERFACE:
      if (node->driver_bound || node->claimed) return fail(EBUSY);
      node->claimed = true;
      return succeed();
    case USBDEVFS_RELEASEINTERFACE:
      if (!node->claimed) return fail(EINVAL);
      node->claimed = false;
      return succeed();
    case USBDEVFS_SUBMITURB: {
      UMockdevIoctlData* urb_data = Resolve(client, sizeof(usbdevfs_urb));
      usbdevfs_urb* urb = UrbOf(urb_data);
      if (!node->claimed || urb->type != USBDEVFS_URB_TYPE_BULK || urb->buffer_length < 0 ||
          (urb->endpoint != 0x01 && urb->endpoint != 0x82)) {
        umockdev_ioctl_data_unref(urb_data);
        return fail(EINVAL);
      }
      const auto length = static_cast<uint32_t>(urb->buffer_length);
      UMockdevIoctlData* buffer =
          umockdev_ioctl_data_resolve(urb_data, offsetof(usbdevfs_urb, buffer), length, nullptr);
      urb = UrbOf(urb_data);
      urb->status = 0;
      urb->actual_length = 0;
      if (urb->endpoint == 0x01) {
        if (!node->meter->OnHostWrite(buffer->data, length)) {
          urb->status = -EPIPE;
        } else {
          urb->actual_length = urb->buffer_length;
        }
        node->done.push_back(urb_data);
      } else if (node->options.in_never_completes || node->in_stopped) {
        node->flying.push_back(urb_data);
      } else {
        // The virtual meter completes an idle read with no bytes, as a meter
        // that ends each answer with a zero-length packet.
        uint32_t got = 0;
        if (!node->meter->OnHostRead(buffer->data, length, &got) || got > length) {
          urb->status = -EPROTO;
        } else {
          urb->actual_length = static_cast<int>(got);
        }
        node->done.push_back(urb_data);
      }
      umockdev_ioctl_data_unref(buffer);
      return succeed();
    }
    case USBDEVFS_REAPURB:
    case USBDEVFS_REAPURBNDELAY: {
      if (node->done.empty()) return fail(EAGAIN);
      UMockdevIoctlData* urb = node->done.front();
      node->done.pop_front();
      return Reap(client, urb);
    }
    case USBDEVFS_DISCARDURB: {
      // The argument is the URB's address in the client.
      UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
      gulong address = 0;
      std::memcpy(&address, arg->data, std::min<size_t>(sizeof address, arg->data_len));
      const auto it =
          std::find_if(node->flying.begin(), node->flying.end(),
                       [address](UMockdevIoctlData* u) { return u->client_addr == address; });
      if (it == node->flying.end()) return fail(EINVAL);
      UMockdevIoctlData* urb = *it;
      node->flying.erase(it);
      UrbOf(urb)->status = -ENOENT;
      node->done.push_back(urb);
      return succeed();
    }
    case USBDEVFS_CLEAR_HALT:
    case USBDEVFS_RESETEP:
      return succeed();
    default:
      return FALSE;
  }
}

std::string Hex(const std::vector<uint8_t>& bytes) {
  std::string text;
  char pair[3];
  for (const uint8_t b : bytes) {
    std::snprintf(pair, sizeof pair, "%02x", b);
    text += pair;
  }
  return text;
}

std::string KernelName(int bus, const std::vector<int>& ports) {
  if (ports.empty()) return "usb" + std::to_string(bus);
  std::string name = std::to_string(bus) + "-";
  for (size_t i = 0; i < ports.size(); ++i) name += (i ? "." : "") + std::to_string(ports[i]);
  return name;
}

std::string SysfsPath(int bus, const std::vector<int>& ports) {
  std::string path = "/devices/usb" + std::to_string(bus);
  for (size_t depth = 1; depth <= ports.size(); ++depth) {
    path += "/" + KernelName(bus, std::vector<int>(ports.begin(), ports.begin() + depth));
  }
  return path;
}

std::string NodeName(int bus, int address) {
  char name[32];
  std::snprintf(name, sizeof name, "bus/usb/%03d/%03d", bus, address);
  return name;
}

// What the testbed's text format holds for one USB device.
std::string DeviceText(int bus, const std::vector<int>& ports, int address,
                       const std::vector<uint8_t>& descriptors, int child_ports,
                       const std::string& serial) {
  const std::string node = NodeName(bus, address);
  std::string text =
      "P: " + SysfsPath(bus, ports) + "\nN: " + node +
      "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nE: DRIVER=usb\nE: BUSNUM=" + node.substr(8, 3) +
      "\nE: DEVNUM=" + node.substr(12, 3) + "\nE: DEVNAME=/dev/" + node +
      "\nA: busnum=" + std::to_string(bus) + "\\n\nA: devnum=" + std::to_string(address) +
      "\\n\nA: bConfigurationValue=1\\n\nA: speed=12\\n\nA: maxchild=" +
      std::to_string(child_ports) + "\\n\n";
  if (!serial.empty()) text += "A: serial=" + serial + "\\n\n";
  return text + "H: descriptors=" + Hex(descriptors) + "\n";
}

std::vector<uint8_t> DescriptorsOf(const usbsim::SimulatedDevice& details, bool is_hub) {
  const usbsim::descriptors::PortDevice device{&details, is_hub};
  std::vector<uint8_t> all = usbsim::descriptors::DeviceDescriptor(device);
  std::vector<uint8_t> config;
  usbsim::descriptors::Answer(device, 0x0200, 0, 0xFFFF, 0xFFFF, &config);
  all.insert(all.end(), config.begin(), config.end());
  return all;
}

}  // namespace

UsbfsTestbed::UsbfsTestbed() : state_(std::make_unique<State>()) {
  state_->testbed = umockdev_testbed_new();
  if (state_->testbed == nullptr) throw std::runtime_error("no umockdev testbed");
  // The meters' lock files in the testbed: test processes side by side have
  // device files of the same names, which must not lock each other out.
  const std::string locks = RootDir() + "/locks";
  if (mkdir(locks.c_str(), 0777) != 0 || setenv("LX40_METER_LOCK_DIR", locks.c_str(), 1) != 0) {
    throw std::runtime_error("no lock folder " + locks);
  }
}

UsbfsTestbed::~UsbfsTestbed() {
  for (auto& [key, node] : state_->nodes) {
    for (UMockdevIoctlData* urb : node->done) umockdev_ioctl_data_unref(urb);
    for (UMockdevIoctlData* urb : node->flying) umockdev_ioctl_data_unref(urb);
    if (node->handler != nullptr) g_object_unref(node->handler);
  }
  g_object_unref(state_->testbed);
}

void UsbfsTestbed::AddRootHub(int bus, int ports) {
  usbsim::SimulatedDevice root;
  root.vendor_id = 0x1d6b;
  root.product_id = 0x0002;
  root.serial_index = 0;
  umockdev_testbed_add_from_string(
      state_->testbed, DeviceText(bus, {}, 1, DescriptorsOf(root, true), ports, "").c_str(),
      nullptr);
}

void UsbfsTestbed::AddHub(int bus, const std::vector<int>& ports, int address, int child_ports) {
  usbsim::SimulatedDevice hub;
  hub.vendor_id = 0x05e3;
  hub.product_id = 0x0608;
  hub.serial_index = 0;
  umockdev_testbed_add_from_string(
      state_->testbed,
      DeviceText(bus, ports, address, DescriptorsOf(hub, true), child_ports, "").c_str(), nullptr);
}

void UsbfsTestbed::AddMeter(int bus, const std::vector<int>& ports, int address,
                            std::shared_ptr<usbsim::VirtualMeter> meter, MeterOptions options) {
  auto node = std::make_unique<Node>();
  node->options = options;
  node->driver_bound = options.kernel_driver_bound;
  node->sysfs_path = "/sys" + SysfsPath(bus, ports);
  node->handler = umockdev_ioctl_base_new();
  g_signal_connect_after(node->handler, "handle-ioctl", G_CALLBACK(HandleIoctl), node.get());
  const std::string device_file = "/dev/" + NodeName(bus, address);
  // The handler first, so the device file answers as soon as it appears.
  if (!umockdev_testbed_attach_ioctl(state_->testbed, device_file.c_str(), node->handler,
                                     nullptr)) {
    throw std::runtime_error("cannot mock " + device_file);
  }
  usbsim::SimulatedDevice details;
  details.serial.assign(meter->Config().serial.begin(), meter->Config().serial.end());
  node->meter = std::move(meter);
  umockdev_testbed_add_from_string(state_->testbed,
                                   DeviceText(bus, ports, address, DescriptorsOf(details, false), 0,
                                              node->meter->Config().serial)
                                       .c_str(),
                                   nullptr);
  state_->nodes[{bus, address}] = std::move(node);
}

void UsbfsTestbed::RemoveMeter(int bus, int address) {
  Node& node = *state_->nodes.at({bus, address});
  {
    std::lock_guard lock(node.mutex);
    node.removed = true;
  }
  umockdev_testbed_remove_device(state_->testbed, node.sysfs_path.c_str());
}

void UsbfsTestbed::StopInCompletions(int bus, int address) {
  Node& node = *state_->nodes.at({bus, address});
  std::lock_guard lock(node.mutex);
  node.in_stopped = true;
}

int UsbfsTestbed::Detaches(int bus, int address) const {
  const Node& node = *state_->nodes.at({bus, address});
  std::lock_guard lock(node.mutex);
  return node.detaches;
}

int UsbfsTestbed::Reattaches(int bus, int address) const {
  const Node& node = *state_->nodes.at({bus, address});
  std::lock_guard lock(node.mutex);
  return node.reattaches;
}

std::string UsbfsTestbed::RootDir() const {
  gchar* root = umockdev_testbed_get_root_dir(state_->testbed);
  std::string text = root;
  g_free(root);
  return text;
}

bool UsbfsTestbed::Claimed(int bus, int address) const {
  const Node& node = *state_->nodes.at({bus, address});
  std::lock_guard lock(node.mutex);
  return node.claimed;
}

}  // namespace usbfs_test
