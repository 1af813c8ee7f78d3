#!/usr/bin/env python3
"""Runs the native program on a pseudo-terminal with typed lines, as a person at a terminal.

    native-pty.py PROGRAM < typed > output

Standard input holds the typed lines (LF ends a line; a Ctrl-D byte on a line of its own is
the end of input). The terminal is in line mode with echo off and output passed through
untranslated, so the output is exactly the bytes that the program wrote to standard output
and standard error, in order. The exit status is the program's.
"""
import os
import subprocess
import sys
import termios


def main():
    program = sys.argv[1]
    typed = sys.stdin.buffer.read()
    master, slave = os.openpty()
    attributes = termios.tcgetattr(slave)
    attributes[1] &= ~termios.OPOST  # output flags: no translation of line ends
    attributes[3] &= ~(termios.ECHO | termios.ECHONL)  # local flags: no echo, line mode kept
    attributes[3] |= termios.ICANON
    termios.tcsetattr(slave, termios.TCSANOW, attributes)
    child = subprocess.Popen([program], stdin=slave, stdout=slave, stderr=slave,
                             start_new_session=True, close_fds=True)
    os.close(slave)
    # Typed ahead: in line mode each read of the program still returns one line.
    os.write(master, typed)
    output = bytearray()
    while True:
        try:
            chunk = os.read(master, 65536)
        except OSError:  # the terminal closes when the program has ended
            break
        if not chunk:
            break
        output += chunk
    status = child.wait(timeout=20)
    os.close(master)
    sys.stdout.buffer.write(bytes(output))
    sys.exit(status if status >= 0 else 128 - status)


if __name__ == '__main__':
    main()
