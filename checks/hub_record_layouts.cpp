// The byte-packed records of the Windows USB hub driver, as Bulkpipe's hub
// walk and the simulator lay them out by hand, against the structures of
// the Windows headers (byte-packed there as well). Compiled for every
// Windows architecture we build: a size or offset that differs on one of
// them stops that build.
#include <windows.h>

#include <usbioctl.h>

#include <cstddef>

#include "hub_records.h"
#include "usb_records.h"

namespace {

namespace bp = bulkpipe;
namespace sim = usbtopo::records;

// USB_ROOT_HUB_NAME: the 6-byte size query.
static_assert(sizeof(USB_ROOT_HUB_NAME) == 6);
static_assert(bp::root_hub_name::kSize == sizeof(USB_ROOT_HUB_NAME));
static_assert(bp::root_hub_name::kActualLength == offsetof(USB_ROOT_HUB_NAME, ActualLength));
static_assert(bp::root_hub_name::kName == offsetof(USB_ROOT_HUB_NAME, RootHubName));
static_assert(sim::kRootHubNameMinSize == sizeof(USB_ROOT_HUB_NAME));
static_assert(sim::kRootHubNameHeader == offsetof(USB_ROOT_HUB_NAME, RootHubName));

// USB_NODE_INFORMATION: 76 bytes in and out; the port count inside the hub
// descriptor.
static_assert(sizeof(USB_NODE_INFORMATION) == 76);
static_assert(bp::node_information::kSize == sizeof(USB_NODE_INFORMATION));
static_assert(bp::node_information::kNumberOfPorts ==
              offsetof(USB_NODE_INFORMATION, u.HubInformation.HubDescriptor.bNumberOfPorts));
static_assert(sim::kNodeInformationSize == sizeof(USB_NODE_INFORMATION));
static_assert(sim::kHubDescriptorOffset ==
              offsetof(USB_NODE_INFORMATION, u.HubInformation.HubDescriptor));
static_assert(sim::kHubIsBusPoweredOffset ==
              offsetof(USB_NODE_INFORMATION, u.HubInformation.HubIsBusPowered));

// USB_NODE_CONNECTION_INFORMATION: the 35-byte fixed part and room for 30
// pipe entries of 11 bytes, 365 bytes in all.
using ConnectionInfo = USB_NODE_CONNECTION_INFORMATION;
static_assert(sizeof(ConnectionInfo) == 35);
static_assert(sizeof(USB_PIPE_INFO) == 11);
static_assert(bp::connection_information::kFixedSize == sizeof(ConnectionInfo));
static_assert(bp::connection_information::kPipeInfoSize == sizeof(USB_PIPE_INFO));
static_assert(bp::connection_information::kSize == 365);
static_assert(bp::connection_information::kConnectionIndex ==
              offsetof(ConnectionInfo, ConnectionIndex));
static_assert(bp::connection_information::kDeviceDescriptor ==
              offsetof(ConnectionInfo, DeviceDescriptor));
static_assert(bp::connection_information::kIdVendor ==
              offsetof(ConnectionInfo, DeviceDescriptor.idVendor));
static_assert(bp::connection_information::kIdProduct ==
              offsetof(ConnectionInfo, DeviceDescriptor.idProduct));
static_assert(bp::connection_information::kISerialNumber ==
              offsetof(ConnectionInfo, DeviceDescriptor.iSerialNumber));
static_assert(bp::connection_information::kDeviceIsHub == offsetof(ConnectionInfo, DeviceIsHub));
static_assert(bp::connection_information::kConnectionStatus ==
              offsetof(ConnectionInfo, ConnectionStatus));
static_assert(bp::connection_information::kDeviceConnected == DeviceConnected);
static_assert(sim::kConnectionInfoFixedSize == sizeof(ConnectionInfo));
static_assert(sim::kPipeInfoSize == sizeof(USB_PIPE_INFO));
static_assert(sim::kCurrentConfigurationOffset ==
              offsetof(ConnectionInfo, CurrentConfigurationValue));
static_assert(sim::kLowSpeedOffset == offsetof(ConnectionInfo, LowSpeed));
static_assert(sim::kDeviceIsHubOffset == offsetof(ConnectionInfo, DeviceIsHub));
static_assert(sim::kDeviceAddressOffset == offsetof(ConnectionInfo, DeviceAddress));
static_assert(sim::kNumberOfOpenPipesOffset == offsetof(ConnectionInfo, NumberOfOpenPipes));
static_assert(sim::kConnectionStatusOffset == offsetof(ConnectionInfo, ConnectionStatus));

// USB_NODE_CONNECTION_NAME: the 10-byte size query.
static_assert(sizeof(USB_NODE_CONNECTION_NAME) == 10);
static_assert(bp::connection_name::kSize == sizeof(USB_NODE_CONNECTION_NAME));
static_assert(bp::connection_name::kConnectionIndex ==
              offsetof(USB_NODE_CONNECTION_NAME, ConnectionIndex));
static_assert(bp::connection_name::kActualLength ==
              offsetof(USB_NODE_CONNECTION_NAME, ActualLength));
static_assert(bp::connection_name::kName == offsetof(USB_NODE_CONNECTION_NAME, NodeName));
static_assert(sim::kConnectionNameMinSize == sizeof(USB_NODE_CONNECTION_NAME));
static_assert(sim::kConnectionNameHeader == offsetof(USB_NODE_CONNECTION_NAME, NodeName));
static_assert(sim::kActualLengthOffset == offsetof(USB_NODE_CONNECTION_NAME, ActualLength));

// USB_DESCRIPTOR_REQUEST: a 12-byte header, then the n descriptor bytes.
static_assert(offsetof(USB_DESCRIPTOR_REQUEST, Data) == 12);
static_assert(bp::descriptor_request::kHeaderSize == offsetof(USB_DESCRIPTOR_REQUEST, Data));
static_assert(bp::descriptor_request::kConnectionIndex ==
              offsetof(USB_DESCRIPTOR_REQUEST, ConnectionIndex));
static_assert(bp::descriptor_request::kWValue ==
              offsetof(USB_DESCRIPTOR_REQUEST, SetupPacket.wValue));
static_assert(bp::descriptor_request::kWIndex ==
              offsetof(USB_DESCRIPTOR_REQUEST, SetupPacket.wIndex));
static_assert(bp::descriptor_request::kWLength ==
              offsetof(USB_DESCRIPTOR_REQUEST, SetupPacket.wLength));
static_assert(sim::kDescriptorRequestHeader == offsetof(USB_DESCRIPTOR_REQUEST, Data));
static_assert(sim::kSetupValueOffset == offsetof(USB_DESCRIPTOR_REQUEST, SetupPacket.wValue));
static_assert(sim::kSetupIndexOffset == offsetof(USB_DESCRIPTOR_REQUEST, SetupPacket.wIndex));
static_assert(sim::kSetupLengthOffset == offsetof(USB_DESCRIPTOR_REQUEST, SetupPacket.wLength));

// The request codes.
static_assert(bp::kIoctlGetRootHubName == IOCTL_USB_GET_ROOT_HUB_NAME);
static_assert(bp::kIoctlGetNodeInformation == IOCTL_USB_GET_NODE_INFORMATION);
static_assert(bp::kIoctlGetNodeConnectionInformation == IOCTL_USB_GET_NODE_CONNECTION_INFORMATION);
static_assert(bp::kIoctlGetDescriptorFromNodeConnection ==
              IOCTL_USB_GET_DESCRIPTOR_FROM_NODE_CONNECTION);
static_assert(bp::kIoctlGetNodeConnectionName == IOCTL_USB_GET_NODE_CONNECTION_NAME);

}  // namespace
