"""Generated graph families for benchmarks and the differential test.

Every generator takes a size and a `random.Random` and returns plain edge lists, so the same
seed gives the same graph on every machine and Python version (no networkx involved):

    rng = random.Random(7)
    edges = FAMILIES["grid_2d"](100, rng)            # [(a, b), ...] with decimal ids
    graph = dress(edges, rng, labels="AB", modalities="12")   # ([(id, label)], [(a, b, mod)])

`dress` gives the bare structure labels and modalities, and `shuffled` a relabelled copy:
the same graph with node order, edge order, endpoint order and ids changed.
"""

from __future__ import annotations

import json
import math
import pathlib
import random
from collections.abc import Callable

Edges = list[tuple[str, str]]
Graph = tuple[list[tuple[str, str]], list[tuple[str, str, str]]]


def path(n: int, rng: random.Random) -> Edges:
    return [(str(i), str(i + 1)) for i in range(n - 1)]


def star(n: int, rng: random.Random) -> Edges:
    return [("0", str(i)) for i in range(1, n)]


def cycle(n: int, rng: random.Random) -> Edges:
    n = max(n, 3)
    return [(str(i), str((i + 1) % n)) for i in range(n)]


def grid_2d(n: int, rng: random.Random) -> Edges:
    rows = max(2, round(math.sqrt(n)))
    cols = max(2, n // rows)
    edges = []
    for r in range(rows):
        for c in range(cols):
            if c + 1 < cols:
                edges.append((f"{r},{c}", f"{r},{c + 1}"))
            if r + 1 < rows:
                edges.append((f"{r},{c}", f"{r + 1},{c}"))
    return edges


def ladder(n: int, rng: random.Random) -> Edges:
    rungs = max(2, n // 2)
    edges = [(f"a{i}", f"b{i}") for i in range(rungs)]
    edges += [(f"{s}{i}", f"{s}{i + 1}") for s in "ab" for i in range(rungs - 1)]
    return edges


def wheel(n: int, rng: random.Random) -> Edges:
    rim = max(3, n - 1)
    return [("hub", str(i)) for i in range(rim)] + cycle(rim, rng)


def complete(n: int, rng: random.Random) -> Edges:
    n = min(n, 12)
    return [(str(i), str(j)) for i in range(n) for j in range(i + 1, n)]


def diamond_chain(n: int, rng: random.Random) -> Edges:
    """k 4-cycles glued at opposite corners: cut nodes c0..ck, sides t1..tk and b1..bk."""
    edges = []
    for i in range(1, max(1, (n - 1) // 3) + 1):
        for side in ("t", "b"):
            edges += [(f"c{i - 1}", f"{side}{i}"), (f"{side}{i}", f"c{i}")]
    return edges


def random_regular(n: int, rng: random.Random, degree: int = 3) -> Edges:
    """A random simple `degree`-regular graph by the pairing model, retried until simple."""
    n = max(n + (n * degree) % 2, degree + 1)
    for _ in range(100):
        points = [v for v in range(n) for _ in range(degree)]
        rng.shuffle(points)
        pairs = {tuple(sorted(points[i:i + 2])) for i in range(0, len(points), 2)}
        if len(pairs) == len(points) // 2 and all(a != b for a, b in pairs):
            return [(str(a), str(b)) for a, b in sorted(pairs)]
    return cycle(n, rng)


def random_4_regular(n: int, rng: random.Random) -> Edges:
    return random_regular(n, rng, 4)


def barabasi_albert(n: int, rng: random.Random, m: int = 2) -> Edges:
    n = max(n, m + 1)
    edges, targets, repeated = [], list(range(m)), []
    for source in range(m, n):
        for target in set(targets):
            edges.append((str(source), str(target)))
        repeated += targets + [source] * m
        targets = []
        while len(set(targets)) < m:
            targets.append(rng.choice(repeated))
        targets = list(dict.fromkeys(targets))[:m]
    return edges


def gnm(n: int, rng: random.Random, average_degree: float = 3.0) -> Edges:
    """G(n, m) with m = n * average_degree / 2 distinct edges."""
    n = max(n, 2)
    m = min(int(n * average_degree / 2), n * (n - 1) // 2)
    chosen: set[tuple[int, int]] = set()
    while len(chosen) < m:
        a, b = rng.randrange(n), rng.randrange(n)
        if a != b:
            chosen.add((min(a, b), max(a, b)))
    return [(str(a), str(b)) for a, b in sorted(chosen)]


def random_tree(n: int, rng: random.Random) -> Edges:
    return [(str(rng.randrange(i)), str(i)) for i in range(1, max(n, 1))]


def random_forest(n: int, rng: random.Random) -> Edges:
    edges = []
    for i in range(1, max(n, 1)):
        if rng.random() < 0.85:
            edges.append((str(rng.randrange(i)), str(i)))
    return edges


def caterpillar(n: int, rng: random.Random) -> Edges:
    spine = max(2, n // 3)
    edges = path(spine, rng)
    edges += [(str(rng.randrange(spine)), f"leg{i}") for i in range(n - spine)]
    return edges


def matching(n: int, rng: random.Random) -> Edges:
    return [(f"a{i}", f"b{i}") for i in range(max(1, n // 2))]


def parallel_pair(n: int, rng: random.Random) -> Edges:
    return [("a", "b")] * max(1, n)


def parallel_bundle(n: int, rng: random.Random) -> Edges:
    """Two nodes joined by many parallel edges, each with a few other children (and grandchildren),
    under a hub: the node with more edges takes all its parents through one neighbour."""
    edges = [("p", "x")] * max(2, n) + [("hub", "p")]
    for name, children in (("p", rng.randrange(0, 4)), ("x", rng.randrange(0, 4)), ("hub", rng.randrange(0, 3))):
        for i in range(children):
            edges.append((name, f"{name}{i}"))
            if rng.random() < 0.5:
                edges.append((f"{name}{i}", f"{name}{i}g"))
    rng.shuffle(edges)
    return edges


def molecule_like(n: int, rng: random.Random) -> Edges:
    """A random tree of degree at most 4 with a few ring closures, like a small molecule."""
    n = max(n, 2)
    degree = [0] * n
    edges = []
    for i in range(1, n):
        parents = [p for p in range(i) if degree[p] < 4] or [0]
        p = rng.choice(parents[-6:])
        edges.append((p, i))
        degree[p] += 1
        degree[i] += 1
    for _ in range(rng.randrange(0, max(1, n // 6) + 1)):
        a, b = rng.randrange(n), rng.randrange(n)
        if a != b and degree[a] < 4 and degree[b] < 4 and (a, b) not in edges and (b, a) not in edges:
            edges.append((a, b))
            degree[a] += 1
            degree[b] += 1
    return [(str(a), str(b)) for a, b in edges]


def multigraph(n: int, rng: random.Random) -> Edges:
    """Random edges with self-loops and parallel edges, possibly disconnected."""
    n = max(n, 1)
    m = rng.randrange(0, 2 * n + 2)
    edges = []
    for _ in range(m):
        a = rng.randrange(n)
        roll = rng.random()
        b = a if roll < 0.08 else (edges[-1][1] if roll < 0.2 and edges else rng.randrange(n))
        edges.append((a, int(b)))
    return [(str(a), str(b)) for a, b in edges]


def isolated(n: int, rng: random.Random) -> Edges:
    return []


FAMILIES: dict[str, Callable[[int, random.Random], Edges]] = {
    "path": path, "star": star, "cycle": cycle, "grid_2d": grid_2d, "ladder": ladder,
    "wheel": wheel, "complete": complete, "diamond_chain": diamond_chain,
    "random_3_regular": random_regular, "random_4_regular": random_4_regular,
    "barabasi_albert": barabasi_albert, "gnm": gnm, "random_tree": random_tree,
    "random_forest": random_forest, "caterpillar": caterpillar, "matching": matching,
    "parallel_pair": parallel_pair, "parallel_bundle": parallel_bundle, "molecule_like": molecule_like, "multigraph": multigraph,
    "isolated": isolated,
}


def dress(edges: Edges, rng: random.Random, labels: str = ".", modalities: str = "1",
          isolated_nodes: int = 0) -> Graph:
    """Labels drawn from `labels` (one character each; none: empty) and modalities from
    `modalities` likewise; the
    node list names every node (plus `isolated_nodes` more without edges) in order of first
    appearance."""
    ids = list(dict.fromkeys([a for a, _ in edges] + [b for _, b in edges]))
    ids += [f"iso{i}" for i in range(isolated_nodes)]
    nodes = [(node, rng.choice(labels) if labels else "") for node in ids]
    return nodes, [(a, b, rng.choice(modalities) if modalities else "") for a, b in edges]


def shuffled(graph: Graph, rng: random.Random, rename: bool = True) -> Graph:
    """The same labelled graph with node order, edge order, endpoint order and (optionally) ids
    changed."""
    nodes, edges = graph
    ids = [node for node, _ in nodes] + [x for a, b, _ in edges for x in (a, b)]
    ids = list(dict.fromkeys(ids))
    fresh = [f"v{i}" for i in range(len(ids))]
    rng.shuffle(fresh)
    name = dict(zip(ids, fresh)) if rename else {i: i for i in ids}
    new_nodes = [(name[node], label) for node, label in nodes]
    rng.shuffle(new_nodes)
    new_edges = [(name[b], name[a], m) if rng.random() < 0.5 else (name[a], name[b], m) for a, b, m in edges]
    rng.shuffle(new_edges)
    return new_nodes, new_edges


def write_small_graph_corpus(path: pathlib.Path, count: int = 100_000, seed: int = 5) -> pathlib.Path:
    """A JSON Lines corpus of `count` small random labelled graphs (1 to 8 nodes, some
    disconnected), each base graph written 1 to 4 times with ids, orders and edge ends
    shuffled, so that duplicate groups exist. Names are g0, g1, ..."""
    rng = random.Random(seed)
    with open(path, "w") as out:
        written = 0
        while written < count:
            size = rng.randint(1, 8)
            nodes = [[f"n{i}", rng.choice("CNO")] for i in range(size)]
            edges = [[f"n{rng.randrange(size)}", f"n{rng.randrange(size)}", rng.choice("12")]
                     for _ in range(rng.randint(0, size + 1))]
            for _ in range(min(rng.randint(1, 4), count - written)):
                ids = {f"n{i}": f"v{j}" for i, j in enumerate(rng.sample(range(size), size))}
                shuffled_nodes = [[ids[n], label] for n, label in rng.sample(nodes, size)]
                shuffled_edges = [[ids[b], ids[a], m] for a, b, m in rng.sample(edges, len(edges))]
                out.write(json.dumps({"name": f"g{written}", "nodes": shuffled_nodes, "edges": shuffled_edges}) + "\n")
                written += 1
    return path
