"""One run of the emulated board: qemu-system-arm -M versatilepb booting the test's kernel and
initramfs, its serial console written to a file, the guest's sound to a WAV file, driven through
QMP (JSON over a UNIX socket)."""

import json
import os
import re
import socket
import subprocess
import time

import pictures


class BoardError(Exception):
    pass


class QMP:
    """A QMP connection: commands sent one at a time, their answers read back; events skipped."""

    def __init__(self, path, deadline):
        while True:
            try:
                self.sock = socket.socket(socket.AF_UNIX)
                self.sock.connect(path)
                break
            except OSError:
                self.sock.close()
                if time.monotonic() > deadline:
                    raise BoardError(f'qemu opened no QMP socket at {path}')
                time.sleep(0.05)
        self.stream = self.sock.makefile('rw')
        self._answer()  # the greeting
        self.command('qmp_capabilities')

    def _answer(self):
        while True:
            line = self.stream.readline()
            if not line:
                raise BoardError('qemu closed its QMP socket')
            reply = json.loads(line)
            if 'event' not in reply:
                return reply

    def command(self, name, **arguments):
        self.stream.write(json.dumps({'execute': name, 'arguments': arguments}) + '\n')
        self.stream.flush()
        reply = self._answer()
        if 'error' in reply:
            raise BoardError(f'QMP {name}: {reply["error"].get("desc", reply["error"])}')
        return reply.get('return')

    def close(self):
        self.sock.close()


class Board:
    """The board booted with the kernel command line's scenario=SCENARIO, its files in WORK."""

    def __init__(self, scenario, work, kernel_dir, initramfs):
        self.scenario = scenario
        self.work = os.path.join(work, scenario)
        os.makedirs(self.work, exist_ok=True)
        self.serial_path = os.path.join(self.work, 'serial.log')
        self.wav_path = os.path.join(self.work, 'sound.wav')
        socket_path = os.path.join(self.work, 'qmp.sock')
        for path in (self.serial_path, self.wav_path, socket_path):
            if os.path.exists(path):
                os.unlink(path)
        self.dumps = 0
        command = [
            'qemu-system-arm', '-M', 'versatilepb', '-m', '128', '-nodefaults', '-no-reboot',
            '-kernel', os.path.join(kernel_dir, 'zImage'),
            '-dtb', os.path.join(kernel_dir, 'versatile-pb.dtb'),
            '-initrd', initramfs,
            '-append', f'console=ttyAMA0 video=VGA-1:320x240M@60 scenario={scenario}',
            '-chardev', f'file,id=serial0,path={self.serial_path}', '-serial', 'chardev:serial0',
            '-audiodev', f'wav,id=snd0,path={self.wav_path}',
            '-display', 'none', '-qmp', f'unix:{socket_path},server=on,wait=off',
        ]
        # qemu's own notes (a deprecated audio option, a register the board model lacks) go to
        # a file of their own rather than into the test's output.
        self.qemu_log = open(os.path.join(self.work, 'qemu.log'), 'w')
        self.process = subprocess.Popen(command, stdin=subprocess.DEVNULL,
                                        stdout=self.qemu_log, stderr=subprocess.STDOUT)
        try:
            self.qmp = QMP(socket_path, time.monotonic() + 10)
        except BaseException:
            self.close()
            raise

    def serial_lines(self):
        """The serial console's complete lines so far, without the kernel's own messages."""
        try:
            with open(self.serial_path, 'rb') as f:
                text = f.read().decode('utf-8', 'replace')
        except FileNotFoundError:
            return []
        lines = text.replace('\r', '').split('\n')[:-1]
        return [line for line in lines if not line.startswith('[')]

    def wait_for_line(self, pattern, timeout):
        """The first serial line matching PATTERN (a regular expression), and the time it was
        seen; BoardError if none comes within TIMEOUT seconds or the board stops."""
        deadline = time.monotonic() + timeout
        regex = re.compile(pattern)
        while True:
            for line in self.serial_lines():
                if regex.search(line):
                    return line, time.monotonic()
            if self.process.poll() is not None:
                raise BoardError(f'the board stopped before printing /{pattern}/')
            if time.monotonic() > deadline:
                raise BoardError(f'no /{pattern}/ on the serial console within {timeout} s')
            time.sleep(0.02)

    def has_line(self, pattern):
        return any(re.search(pattern, line) for line in self.serial_lines())

    def screen(self):
        """A screen dump: (frame, or None while the screen is not 320 x 240, host time just
        before and just after the dump)."""
        path = os.path.join(self.work, f'dump-{self.dumps:04d}.ppm')
        self.dumps += 1
        before = time.monotonic()
        self.qmp.command('screendump', filename=path)
        after = time.monotonic()
        frame = pictures.read_ppm(path)
        os.unlink(path)
        return frame, before, after

    def press_key(self, qcode):
        """Types one key on the board's PS/2 keyboard (qemu's key names: '8', 'a', ...)."""
        self.qmp.command('send-key', keys=[{'type': 'qcode', 'data': qcode}])

    def wait_until_off(self, timeout):
        """Waits for the guest to restart the board, which ends qemu (-no-reboot)."""
        try:
            self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            raise BoardError(f'the board still runs {timeout} s after the demo ended')

    def close(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        if hasattr(self, 'qmp'):
            self.qmp.close()
        self.qemu_log.close()
