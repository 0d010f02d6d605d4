#!/usr/bin/env python3
"""A TCP proxy on loopback that cuts connections at random points, for scripts/soak.

usage: cutting-proxy.py TARGET_PORT COUNTS_FILE [START_VALUE]

Listens on 127.0.0.1 on a port the system picks and prints
"cutting proxy: listening on 127.0.0.1:PORT"; forwards each connection to
127.0.0.1:TARGET_PORT. Most connections are cut after a random number of
bytes in one direction: a quarter within the first few hundred bytes (the
commands and replies), the rest anywhere from 3 KB to 8 MB (file data, the
body). The agent gives an e-mail up after five attempts in a row without
progress, and it sees a file's progress only once a second or when the file
is complete: so after two connections in a row cut (or ended by the server)
within their first 1.5 s, the next one is cut by time, 2 to 4 s after it
opened, which leaves the agent progress to see. The counts go to
COUNTS_FILE (key=value lines) after every connection.
"""
import asyncio
import os
import random
import sys

EARLY_SECONDS = 1.5  # a connection cut sooner may leave the agent without progress to see


class Proxy:
    def __init__(self, target_port, counts_file, rng):
        self.target_port = target_port
        self.counts_file = counts_file
        self.rng = rng
        self.early_in_row = 0
        self.counts = dict(connections=0, cuts=0, cuts_upstream=0, cuts_downstream=0, cuts_timed=0,
                           early_cuts=0, bytes_upstream=0, bytes_downstream=0,
                           refused=0)

    def plan(self):
        """(direction, bytes) to cut after, or None to let the connection go whole."""
        if self.early_in_row >= 2:
            return ("time", self.rng.uniform(2.0, 4.0))
        r = self.rng.random()
        if r < 0.05:
            return None
        if r < 0.15:
            return ("down", self.rng.randrange(0, 400))  # in a reply
        if r < 0.30:
            return ("up", self.rng.randrange(0, 600))  # in the commands
        # Anywhere in file data, the same weight for each order of magnitude
        # from 3 KB on: most cuts then leave the agent some progress, which
        # keeps its waits between attempts at 1 s.
        return ("up", int(10 ** self.rng.uniform(3.5, 6.9)))

    def save(self):
        temporary = self.counts_file + ".new"
        with open(temporary, "w") as out:
            for key, value in self.counts.items():
                out.write(f"{key}={value}\n")
        os.replace(temporary, self.counts_file)

    async def handle(self, client_reader, client_writer):
        self.counts["connections"] += 1
        number = self.counts["connections"]
        opened = asyncio.get_running_loop().time()
        try:
            server_reader, server_writer = await asyncio.open_connection("127.0.0.1", self.target_port)
        except OSError:
            # The server restarts: the agent sees the connection end at once.
            self.counts["refused"] += 1
            client_writer.transport.abort()
            self.save()
            return
        cut = self.plan()
        forwarded = {"up": 0, "down": 0}
        done = asyncio.Event()
        state = {"cut": False, "ended_by": None}

        async def pump(direction, reader, writer):
            try:
                while not done.is_set():
                    data = await reader.read(65536)
                    if not data:
                        break
                    if cut and cut[0] == direction and forwarded[direction] + len(data) >= cut[1]:
                        part = data[: cut[1] - forwarded[direction]]
                        writer.write(part)
                        forwarded[direction] += len(part)
                        await writer.drain()
                        state["cut"] = True
                        break
                    writer.write(data)
                    forwarded[direction] += len(data)
                    await writer.drain()
            except (OSError, asyncio.IncompleteReadError):
                pass
            if state["ended_by"] is None:
                state["ended_by"] = direction
            done.set()

        up = asyncio.create_task(pump("up", client_reader, server_writer))
        down = asyncio.create_task(pump("down", server_reader, client_writer))
        if cut and cut[0] == "time":
            try:
                await asyncio.wait_for(done.wait(), cut[1])
            except asyncio.TimeoutError:
                state["cut"] = True
        else:
            await done.wait()
        early = asyncio.get_running_loop().time() - opened < EARLY_SECONDS
        # Either side ended or the cut came: both sockets go at once, as a
        # broken link would leave them.
        client_writer.transport.abort()
        server_writer.transport.abort()
        for task in (up, down):
            task.cancel()
        await asyncio.gather(up, down, return_exceptions=True)
        self.counts["bytes_upstream"] += forwarded["up"]
        self.counts["bytes_downstream"] += forwarded["down"]
        if state["cut"]:
            self.counts["cuts"] += 1
            self.counts["cuts_" + {"up": "upstream", "down": "downstream", "time": "timed"}[cut[0]]] += 1
            if early:
                self.counts["early_cuts"] += 1
            print(f"connection {number} cut after {forwarded['up']} bytes up, {forwarded['down']} down",
                  flush=True)
        # A connection the server ended early (a restart) counts as well.
        server_ended = not state["cut"] and state["ended_by"] == "down"
        self.early_in_row = self.early_in_row + 1 if early and (state["cut"] or server_ended) else 0
        self.save()


async def main():
    if len(sys.argv) not in (3, 4) or sys.argv[1] in ("-h", "--help"):
        print(__doc__.strip())
        return 0 if len(sys.argv) == 2 else 2
    start = int(sys.argv[3]) if len(sys.argv) == 4 else random.randrange(1 << 30)
    proxy = Proxy(int(sys.argv[1]), sys.argv[2], random.Random(start))
    proxy.save()
    server = await asyncio.start_server(proxy.handle, "127.0.0.1", 0)
    port = server.sockets[0].getsockname()[1]
    print(f"cutting proxy: listening on 127.0.0.1:{port}, random start value {start}", flush=True)
    async with server:
        await server.serve_forever()


if __name__ == "__main__":
    try:
        sys.exit(asyncio.run(main()))
    except KeyboardInterrupt:
        sys.exit(0)
