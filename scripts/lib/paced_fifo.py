#!/usr/bin/python3
# Paces an ALSA file device at the real sample rate through a named pipe, so
# that recording and playing take their true time (the null device beneath
# the file plugin takes any amount at once). "w": writes a tremolo tone of
# 16-bit mono into the pipe the capture side reads; "r": drains the pipe the
# playback side writes. Reopens the pipe whenever the other side closes it.
# Usage: paced_fifo.py PIPE w|r RATE
import math
import sys
import time

path, mode, rate = sys.argv[1], sys.argv[2], int(sys.argv[3])
block = rate // 20
n = 0


def tone(start):
    out = bytearray()
    for k in range(start, start + block):
        v = math.sin(2 * math.pi * 300 * k / rate) * (0.6 + 0.4 * math.sin(2 * math.pi * 3 * k / rate))
        out += int(12000 * v).to_bytes(2, "little", signed=True)
    return out


while True:
    with open(path, "wb" if mode == "w" else "rb", buffering=0) as pipe:
        start = time.monotonic()
        done = 0
        try:
            while True:
                if mode == "w":
                    pipe.write(tone(n))
                elif not pipe.read(block * 2):
                    break
                n += block
                done += block
                wait = start + done / rate - time.monotonic()
                if wait > 0:
                    time.sleep(wait)
        except BrokenPipeError:
            pass
