#!/usr/bin/env python3
"""Decodes the Morse in a WAV file (16-bit PCM, first channel) back to text
by measuring its marks and gaps: a check that a recording holds what was
sent. Prints the text, then the dit length it measured.

    scripts/decode-wav.py recording.wav
"""
import sys
import wave

CODES = {
    ".-": "A", "-...": "B", "-.-.": "C", "-..": "D", ".": "E", "..-.": "F", "--.": "G",
    "....": "H", "..": "I", ".---": "J", "-.-": "K", ".-..": "L", "--": "M", "-.": "N",
    "---": "O", ".--.": "P", "--.-": "Q", ".-.": "R", "...": "S", "-": "T", "..-": "U",
    "...-": "V", ".--": "W", "-..-": "X", "-.--": "Y", "--..": "Z", "-----": "0",
    ".----": "1", "..---": "2", "...--": "3", "....-": "4", ".....": "5", "-....": "6",
    "--...": "7", "---..": "8", "----.": "9", ".-.-.-": ".", "--..--": ",", "..--..": "?",
    "-..-.": "/", "-...-": "=",
}


def runs(path):
    """(is_mark, length in frames) for the first channel, silence at both ends dropped."""
    with wave.open(path) as w:
        if w.getsampwidth() != 2:
            sys.exit("16-bit PCM only")
        channels, rate = w.getnchannels(), w.getframerate()
        raw = w.readframes(w.getnframes())
    samples = memoryview(raw).cast("h")[::channels]
    # A tone crosses zero every half period: a frame is "on" when the
    # loudest value within 2 ms around it is clearly above the noise.
    window = max(1, rate // 500)
    loud = [abs(v) > 300 for v in samples]
    on, last_loud = [], -window - 1
    for i, is_loud in enumerate(loud):
        if is_loud:
            last_loud = i
        on.append(i - last_loud <= window)
    result = []
    for flag in on:
        if result and result[-1][0] == flag:
            result[-1][1] += 1
        else:
            result.append([flag, 1])
    while result and not result[0][0]:
        result.pop(0)
    while result and not result[-1][0]:
        result.pop()
    return result, rate


def decode(path):
    result, rate = runs(path)
    marks = [n for is_mark, n in result if is_mark]
    if not marks:
        return "", 0
    dit = min(marks)
    gaps = [n for is_mark, n in result if not is_mark and n > 2 * dit]
    # A word gap is far longer than a character gap, whatever the spacing.
    word_gap = 1.7 * min(gaps) if gaps else float("inf")
    text, symbol = "", ""
    for is_mark, n in result:
        if is_mark:
            symbol += "." if n < 2 * dit else "-"
        elif n > 2 * dit:
            text += CODES.get(symbol, "*")
            symbol = ""
            if n > word_gap:
                text += " "
    text += CODES.get(symbol, "*")
    return text, dit / rate


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    text, dit = decode(sys.argv[1])
    print(text)
    print(f"dit {dit * 1000:.1f} ms", file=sys.stderr)
