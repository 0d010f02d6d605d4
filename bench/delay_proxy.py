#!/usr/bin/env python3
"""A slow link on loopback: forwards each connection to 127.0.0.1:TARGET,
holding every byte DELAY_MS in each direction and letting through at most
RATE bytes a second each way. Per direction it holds the bytes on their way
plus a queue of 256 KiB, as a router would, so a sender that outruns the
link waits.

  delay_proxy.py TARGET_PORT DELAY_MS RATE_BYTES_PER_S SECONDS

Listens on 127.0.0.1 on a port the system picks and prints "port N" first;
stops by itself after SECONDS.
"""
import asyncio
import sys
import time


async def pipe(reader, writer, delay, rate, limit):
    queue = asyncio.Queue()
    held = 0  # bytes read and not yet written
    room = asyncio.Event()
    room.set()

    async def take():
        nonlocal held
        while True:
            await room.wait()
            data = await reader.read(65536)
            held += len(data)
            if held >= limit:
                room.clear()
            await queue.put((time.monotonic() + delay, data))
            if not data:
                return

    async def give():
        nonlocal held
        sent_at = time.monotonic()  # when the link is free again
        while True:
            due, data = await queue.get()
            if not data:
                if writer.can_write_eof():
                    writer.write_eof()
                return
            now = time.monotonic()
            # The bytes leave when they arrived plus the delay, and not
            # before the link has carried the bytes ahead of them.
            start = max(due, sent_at)
            sent_at = start + len(data) / rate
            if sent_at > now:
                await asyncio.sleep(sent_at - now)
            writer.write(data)
            await writer.drain()
            held -= len(data)
            if held < limit:
                room.set()

    await asyncio.gather(take(), give())


async def serve(target, delay, rate):
    # The bytes on their way (one delay at the rate) and a router's queue.
    limit = int(rate * delay) + 256 * 1024

    async def handle(client_reader, client_writer):
        try:
            server_reader, server_writer = await asyncio.open_connection("127.0.0.1", target)
        except OSError:
            client_writer.close()
            return
        try:
            await asyncio.gather(
                pipe(client_reader, server_writer, delay, rate, limit),
                pipe(server_reader, client_writer, delay, rate, limit))
        except (ConnectionError, OSError):
            pass
        finally:
            client_writer.close()
            server_writer.close()

    return await asyncio.start_server(handle, "127.0.0.1", 0)


async def main():
    if len(sys.argv) != 5:
        print(__doc__, file=sys.stderr)
        sys.exit(2)
    target, delay_ms, rate, seconds = (int(a) for a in sys.argv[1:])
    server = await serve(target, delay_ms / 1000.0, float(rate))
    print("port", server.sockets[0].getsockname()[1], flush=True)
    async with server:
        try:
            await asyncio.wait_for(server.serve_forever(), timeout=seconds)
        except asyncio.TimeoutError:
            pass


if __name__ == "__main__":
    asyncio.run(main())
