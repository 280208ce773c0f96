#!/usr/bin/env python3
"""Independent counts of CityGML sheets for the reader's tests, with Python's ElementTree: what each sheet holds
by the rules the readers follow (one level of detail per building or part, parts with their own blocks in LOD1,
interior rings as holes, damaged rings refusing their building), its extent, and the buildings found in frames
on each quarter of that extent. Prints one JSON object keyed by the file names given."""
import json
import math
import re
import sys
import xml.etree.ElementTree as ET

GRID = 1e7
HEIGHTS = 1e4
LOD1_ORDER = ['1', 'U', '2', '3', '4', '0']
LOD2_ORDER = ['2', 'U', '3', '4', '1']


def local(tag):
    return tag.rsplit('}', 1)[-1] if isinstance(tag, str) else ''


def numbers(text):
    out = []
    for word in (text or '').split():
        value = float(word)  # ValueError for a word that is no number
        if not math.isfinite(value):
            raise ValueError(word)
        out.append(value)
    return out


def read_ring(ring):
    """(points [(x, y, z)], damaged)"""
    values = []
    try:
        for child in ring:
            if local(child.tag) == 'pos':
                one = numbers(child.text)
                if len(one) < 3:
                    return [], True
                values += one[:3]
            elif local(child.tag) == 'posList':
                more = numbers(child.text)
                if len(more) % 3:
                    return [], True
                values += more
    except ValueError:
        return [], True
    points = [tuple(values[i:i + 3]) for i in range(0, len(values), 3)]
    if any(not (0 <= x <= GRID and 0 <= y <= GRID and -HEIGHTS <= z <= HEIGHTS) for x, y, z in points):
        return [], True
    return points, False


def touches(box, frame):
    return box[0] <= frame[2] and frame[0] <= box[2] and box[1] <= frame[3] and frame[1] <= box[3]


def box_of(points):
    xs = [p[0] for p in points]
    ys = [p[1] for p in points]
    return (min(xs), min(ys), max(xs), max(ys))


def area(points):
    n = len(points)
    return abs(sum(points[i][0] * points[(i + 1) % n][1] - points[(i + 1) % n][0] * points[i][1]
                   for i in range(n))) / 2


def measured(element):
    for child in element:
        if local(child.tag) == 'measuredHeight':
            try:
                value = float(child.text)
                return value if value > 0 else 0.0
            except (TypeError, ValueError):
                return 0.0
    return 0.0


def roof_type(element):
    for child in element:
        if local(child.tag) == 'roofType':
            m = re.match(r'\s*([+-]?\d+)', child.text or '')
            return int(m.group(1)) if m else 0
    return 0


def sheet(path):
    root = ET.parse(path).getroot()
    parent = {c: p for p in root.iter() for c in p}

    def ancestors(e):
        e = parent.get(e)
        while e is not None:
            yield e
            e = parent.get(e)

    buildings = {}  # building element -> {'members': {member element: {lod: [surfaces]}}, 'damaged': bool}
    order = []

    def building_of(e):
        outer = [a for a in ancestors(e) if local(a.tag) == 'Building']
        if local(e.tag) == 'Building':
            return e
        if outer:
            return outer[0]
        parts = [a for a in ancestors(e) if local(a.tag) == 'BuildingPart']
        return parts[-1] if parts else e

    for e in root.iter():
        if local(e.tag) in ('Building', 'BuildingPart'):
            b = building_of(e)
            if b not in buildings:
                buildings[b] = {'members': {}, 'damaged': False}
                order.append(b)
            buildings[b]['members'].setdefault(b, {})
            buildings[b]['members'].setdefault(e, {})

    last = {}  # polygon -> (member, lod, surface or None)
    for ring in root.iter():
        if local(ring.tag) != 'LinearRing':
            continue
        owners = [a for a in ancestors(ring) if local(a.tag) in ('Building', 'BuildingPart')]
        if not owners:
            continue
        member = owners[0]
        b = building_of(member)
        lods = [local(a.tag)[3] for a in ancestors(ring) if re.match(r'lod[0-4]', local(a.tag))]
        lod = lods[0] if lods else 'U'
        points, damaged = read_ring(ring)
        if damaged:
            buildings[b]['damaged'] = True
        role = parent.get(ring)
        polygon = parent.get(role)
        kept = len(points) >= 3
        if local(role.tag) in ('interior', 'innerBoundaryIs'):
            if polygon in last and last[polygon][0] is member and last[polygon][1] == lod:
                if kept and last[polygon][2] is not None:
                    last[polygon][2]['holes'].append(points)
                continue
            surface = {'outer': points, 'holes': []}
        else:
            surface = {'outer': points, 'holes': []} if kept else None
            last[polygon] = (member, lod, surface)
        if kept and surface is not None:
            buildings[b]['members'][member].setdefault(lod, []).append(surface)

    def chosen(lods, preference):
        for lod in preference:
            if lods.get(lod):
                return lods[lod]
        return None

    def block(b, member, lods):
        surfaces = chosen(lods, LOD1_ORDER)
        if not surfaces:
            return None
        zs = [p[2] for s in surfaces for p in s['outer']]
        lo, hi = min(zs), max(zs)
        ground = [s for s in surfaces if all(abs(p[2] - lo) <= 0.01 for p in s['outer'])]
        foot = max(ground, key=lambda s: area(s['outer'])) if ground else \
            min(surfaces, key=lambda s: sum(p[2] for p in s['outer']) / len(s['outer']))
        height = hi - lo
        if not height > 0:
            height = measured(member) or measured(b)
        if not height > 0:
            return None
        return {'box': box_of(foot['outer']), 'height': height, 'area': area(foot['outer']),
                'holes': len(foot['holes'])}

    def lod2(lods_of_members):
        surfaces = []
        for lods in lods_of_members:
            surfaces += chosen(lods, LOD2_ORDER) or []
        return surfaces

    records = []
    for b in order:
        info = buildings[b]
        members = [info['members'][b]] + [lods for m, lods in info['members'].items() if m is not b]
        if info['damaged']:
            records.append({'damaged': True})
            continue
        blocks = [x for x in (block(b, m, info['members'][m]) for m in [b] + [m for m in info['members'] if m is not b])
                  if x]
        surfaces = lod2(members)
        records.append({'damaged': False, 'blocks': blocks, 'surfaces': surfaces,
                        'box2': box_of([p for s in surfaces for p in s['outer']]) if surfaces else None,
                        'roof': roof_type(b)})

    # Extent: the root's own envelope grown to every coordinate outside envelopes.
    data = []
    for e in root.iter():
        if local(e.tag) not in ('pos', 'posList') or any(local(a.tag) == 'Envelope' for a in ancestors(e)):
            continue
        dim = 2 if e.get('srsDimension') == '2' else 3
        try:
            values = numbers(e.text)
        except ValueError:
            continue
        data += [(values[i], values[i + 1]) for i in range(0, len(values) - 1, dim)]
    declared = []
    for bounded in root:
        if local(bounded.tag) != 'boundedBy':
            continue
        for envelope in bounded:
            if local(envelope.tag) != 'Envelope':
                continue
            corners = [numbers(c.text)[:2] for c in envelope if local(c.tag) in ('lowerCorner', 'upperCorner', 'pos')]
            declared = [tuple(c) for c in corners if len(c) == 2]
            break
        break
    everything = data + declared
    extent = box_of([(x, y, 0) for x, y in everything])

    def found(frame):
        lod1 = sum(1 for r in records if not r['damaged'] and any(touches(k['box'], frame) for k in r['blocks']))
        lod2n = sum(1 for r in records if not r['damaged'] and r['box2'] and touches(r['box2'], frame))
        return [lod1, lod2n]

    mx, my = (extent[0] + extent[2]) / 2, (extent[1] + extent[3]) / 2
    quarters = [(extent[0], extent[1], mx, my), (mx, extent[1], extent[2], my),
                (extent[0], my, mx, extent[3]), (mx, my, extent[2], extent[3])]
    good = [r for r in records if not r['damaged']]
    return {
        'lod1': {'buildings': sum(1 for r in good if r['blocks']), 'blocks': sum(len(r['blocks']) for r in good),
                 'heights': sum(k['height'] for r in good for k in r['blocks']),
                 'area': sum(k['area'] for r in good for k in r['blocks']),
                 'holes': sum(k['holes'] for r in good for k in r['blocks'])},
        'lod2': {'buildings': sum(1 for r in good if r['surfaces']),
                 'surfaces': sum(len(r['surfaces']) for r in good),
                 'holes': sum(len(s['holes']) for r in good for s in r['surfaces']),
                 'roofTypes': sum(r['roof'] for r in good if r['surfaces'])},
        'damaged': sum(1 for r in records if r['damaged']),
        'extent': list(extent),
        'quarters': [list(q) for q in quarters],
        'found': [found(q) for q in quarters],
    }


if __name__ == '__main__':
    print(json.dumps({name: sheet(name) for name in sys.argv[1:]}))
