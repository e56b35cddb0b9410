"""The exceptions of the package: one MeterError subclass per kind of result code.

Every failure of a Meterlink call raises; nothing is reported by a return
value. Each exception carries the result code (``code``), Meterlink's own
English text for it (``text``, from ``mlink_strerror``) and, where there is
one, the meter's serial number.
"""

from __future__ import annotations

from typing import Dict, Optional, Sequence, Type

from . import _native


class MeterError(Exception):
    """A Meterlink call failed.

    Attributes:
        code: the result code (a number of zero or below).
        text: ``mlink_strerror``'s text for the code.
        serial: the serial number of the meter concerned, or None.
        operation: what was being done (the Meterlink function's name).
    """

    def __init__(
        self, code: int, text: str, operation: str = "", serial: Optional[str] = None
    ) -> None:
        self.code = code
        self.text = text
        self.operation = operation
        self.serial = serial
        where = ": ".join(part for part in (serial, operation) if part)
        super().__init__(f"{where}: {text} (code {code})" if where else f"{text} (code {code})")


class SignalError(MeterError):
    """The meter did not answer or could not be reached (unplugged, write or read failed)."""


class ValueRefusedError(MeterError, ValueError):
    """A value was refused: the meter answered DATA_ERR, or it cannot be sent at all."""


class NotRecognisedError(MeterError):
    """The meter's answer was not understood, or it answered CMD_ERR."""


class BatteryLowError(MeterError):
    """The meter's battery is low; the command was not sent."""


class NotAMeterError(MeterError):
    """The device did not answer as an LX40."""


class SensorOrMemoryError(MeterError):
    """The meter has no sensor (NO_SENSER) or a memory fault (MEM_ERR)."""


class ModeError(MeterError):
    """The meter's mode does not allow this (MODE_ERR, WAVE_ERR), or it has no reading."""


class InvalidHandleError(MeterError):
    """The meter is closed (or the handle is unknown to the library)."""


class NoSuchMeterError(MeterError):
    """No attached, free LX40 has this serial number."""


class AlreadyOpenError(MeterError):
    """The meter is already open in this process."""


class BufferTooSmallError(MeterError):
    """An answer did not fit the buffer given for it."""


class TableError(MeterError, ValueError):
    """A sensor data table is malformed: size field, record count, CRC or slot."""


class LoadError(MeterError):
    """A table load failed or was used out of turn."""


class LoadStateError(LoadError):
    """No table load is in progress, or one is and the call needs the meter free."""


class HandshakeError(LoadError):
    """A table load got a wrong echo or no acknowledgement; unplug and replug the meter."""


class NoAnswerError(LoadError):
    """The meter stopped answering during a table load; unplug and replug the meter."""


class LoadAbandonedError(LoadError):
    """A load was stopped mid-table; the meter must be unplugged and plugged in again."""


class OutOfMemoryError(MeterError, MemoryError):
    """Meterlink could not allocate memory."""


class LockFailedError(MeterError, OSError):
    """A meter's lock file could not be opened or made (no such folder, no access).

    The message names the file and the system's reason.
    """


class NoPermissionError(MeterError, PermissionError):
    """A meter is attached but this user may not open its device file.

    The message names the file; on Linux, install the udev rules (README).
    """


class NeedsReplugError(MeterError):
    """This process left the meter in the middle of a table: unplug it and plug it in again."""


class PluggedAgainError(NoSuchMeterError):
    """The meter was plugged in again (or another one plugged in) since it was listed."""


class InUseElsewhereError(NoSuchMeterError):
    """The meter at that path or port is open in another program (nothing was sent)."""


class AmbiguousMeterError(MeterError):
    """More than one attached meter answers with this serial number: open one by port.

    Attributes:
        ports: the ports of the meters with that serial number.
    """

    def __init__(self, serial: str, ports: Sequence[str]) -> None:
        self.ports = list(ports)
        super().__init__(
            _native.ERR_NO_SUCH_METER,
            "the serial number is shared by the meters at ports " + ", ".join(self.ports),
            "open",
            serial,
        )


_BY_CODE: Dict[int, Type[MeterError]] = {
    _native.RAW_FAILED: SignalError,
    _native.BAD_ARGUMENT: ValueRefusedError,
    _native.TRANSPORT_FAILED: SignalError,
    _native.NOT_RECOGNISED: NotRecognisedError,
    _native.BATTERY_LOW: BatteryLowError,
    _native.NOT_A_METER: NotAMeterError,
    _native.SENSOR_OR_MEMORY: SensorOrMemoryError,
    _native.MODE_OR_NO_DATA: ModeError,
    _native.ERR_INVALID_HANDLE: InvalidHandleError,
    _native.ERR_NO_SUCH_METER: NoSuchMeterError,
    _native.ERR_ALREADY_OPEN: AlreadyOpenError,
    _native.ERR_BUFFER_TOO_SMALL: BufferTooSmallError,
    _native.ERR_TABLE_SIZE: TableError,
    _native.ERR_TABLE_RECORDS: TableError,
    _native.ERR_TABLE_CRC: TableError,
    _native.ERR_TABLE_SLOT: TableError,
    _native.ERR_LOAD_STATE: LoadStateError,
    _native.ERR_HANDSHAKE: HandshakeError,
    _native.ERR_NO_ANSWER: NoAnswerError,
    _native.ERR_LOAD_ABANDONED: LoadAbandonedError,
    _native.ERR_NO_MEMORY: OutOfMemoryError,
    _native.ERR_LOCK_FAILED: LockFailedError,
    _native.ERR_NEEDS_REPLUG: NeedsReplugError,
    _native.ERR_REPLUGGED: PluggedAgainError,
    _native.ERR_IN_USE_ELSEWHERE: InUseElsewhereError,
    _native.ERR_NO_PERMISSION: NoPermissionError,
}


def error_class(code: int) -> Type[MeterError]:
    """The exception class for a result code (MeterError for a code it does not know)."""
    return _BY_CODE.get(code, MeterError)


def make_error(
    code: int, text: str, operation: str = "", serial: Optional[str] = None
) -> MeterError:
    """The exception for a failed call."""
    return error_class(code)(code, text, operation, serial)
