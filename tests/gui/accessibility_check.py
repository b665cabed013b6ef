#!/usr/bin/python3
"""Reads the running program the way a screen reader does, over AT-SPI.

  accessibility_check.py controls
      every control that takes the focus has its own name, in the right place,
      labels name their text boxes, combo boxes give their entry as text
  accessibility_check.py focus NAME VALUE
      the focused control is NAME and shows VALUE
  accessibility_check.py appears NAME ROLE
      prints "listening", then waits until a control named NAME of role ROLE
      is shown (a list that drops down is no child of the window: a reader
      hears of it when it appears)

Polls until the program answers as expected or a generous limit passes; the
limit only ends a test that has already failed.
"""
import sys
import time

import gi
gi.require_version('Atspi', '2.0')
from gi.repository import Atspi

# Name, role and position in the client area (pixels at 96 dpi).
CONTROLS = [
    ('ID', 'text', 64, 7), ('Load', 'push button', 136, 8), ('Save', 'push button', 200, 8),
    ('Clear', 'push button', 280, 8),
    ('星', 'text', 72, 47), ('最大LV', 'text', 72, 72), ('最低LV', 'text', 72, 96),
    ('スーパー', 'combo box', 120, 48),
    ('レベル1', 'radio button', 16, 144), ('レベル2', 'radio button', 56, 144),
    ('レベル3', 'radio button', 96, 144), ('レベル4', 'radio button', 136, 144),
    ('MaxHP', 'text', 64, 175), ('通常技', 'text', 32, 207), ('通常技のP', 'text', 112, 232),
    ('拡張技', 'text', 200, 207), ('拡張技の範囲', 'combo box', 200, 232),
    ('拡張技の数', 'text', 200, 257), ('拡張技の効果', 'combo box', 272, 256),
    ('拡張技の回数', 'text', 200, 280),
]
LABELS = {'ID': 'ID:', '星': '星：', '最大LV': '最大LV：', '最低LV': '最低LV：', 'MaxHP': 'MaxHP'}
ENTRIES = {'スーパー': 'このカードはモンスターカードでない', '拡張技の範囲': '通常', '拡張技の効果': 'P'}
ROLES = {'text', 'push button', 'combo box', 'radio button'}
TRIES = 300  # of 0.1 s


def application():
    desktop = Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(i)
        if app is not None and app.get_name() == 'velmar':
            return app
    return None


def focusable_controls(node, found):
    """Controls of the window that take the focus; the lists inside combo
    boxes are the combo boxes' own."""
    role = node.get_role_name()
    if role in ROLES and node.get_state_set().contains(Atspi.StateType.FOCUSABLE):
        found.append(node)
    if role == 'combo box':
        return found
    for i in range(node.get_child_count()):
        child = node.get_child_at_index(i)
        if child is not None:
            focusable_controls(child, found)
    return found


def entry_text(node):
    if 'Text' not in node.get_interfaces():
        return None
    return Atspi.Text.get_text(node, 0, -1)


def labelled_by(node):
    names = []
    for relation in node.get_relation_set() or []:
        if relation.get_relation_type() == Atspi.RelationType.LABELLED_BY:
            for k in range(relation.get_n_targets()):
                target = relation.get_target(k)
                if target.get_role_name() == 'label':
                    names.append(target.get_name())
    return names


def problems_with_controls(app):
    controls = focusable_controls(app, [])
    by_name = {}
    problems = []
    for node in controls:
        by_name.setdefault(node.get_name(), []).append(node)
    for name, nodes in by_name.items():
        if len(nodes) > 1:
            problems.append(f'{len(nodes)} controls named {name!r}')
    expected = {name for name, _, _, _ in CONTROLS}
    for name in sorted(set(by_name) - expected):
        problems.append(f'unexpected control name {name!r}')
    if 'ID' not in by_name:
        return problems + ['no control named ID']
    origin = by_name['ID'][0].get_position(Atspi.CoordType.WINDOW)
    origin_x, origin_y = origin.x - 64, origin.y - 7
    for name, role, x, y in CONTROLS:
        if name not in by_name:
            problems.append(f'no control named {name!r}')
            continue
        node = by_name[name][0]
        if node.get_role_name() != role:
            problems.append(f'{name!r} is a {node.get_role_name()}, not a {role}')
        at = node.get_position(Atspi.CoordType.WINDOW)
        if abs(at.x - origin_x - x) > 1 or abs(at.y - origin_y - y) > 1:
            problems.append(f'{name!r} at ({at.x - origin_x}, {at.y - origin_y}), expected ({x}, {y})')
        if name in LABELS and LABELS[name] not in labelled_by(node):
            problems.append(f'{name!r} is not labelled by {LABELS[name]!r} but by {labelled_by(node)}')
        if name in ENTRIES and entry_text(node) != ENTRIES[name]:
            problems.append(f'{name!r} shows {entry_text(node)!r}, expected {ENTRIES[name]!r}')
    return problems


def focused(node):
    if node.get_state_set().contains(Atspi.StateType.FOCUSED):
        return node
    if node.get_role_name() == 'combo box':
        return None
    for i in range(node.get_child_count()):
        child = node.get_child_at_index(i)
        hit = focused(child) if child is not None else None
        if hit is not None:
            return hit
    return None


def problems_with_focus(app, name, value):
    node = focused(app)
    if node is None:
        return ['nothing has the focus']
    shown = entry_text(node) if node.get_role_name() == 'combo box' else None
    if node.get_name() != name or shown != value:
        return [f'focus on {node.get_name()!r} showing {shown!r}, expected {name!r} showing {value!r}']
    return []


def wait_for_appearance(name, role):
    from gi.repository import GLib
    loop = GLib.MainLoop()
    heard = []

    def on_event(event):
        source = event.source
        if event.detail1 == 1 and source is not None and source.get_name() == name \
                and source.get_role_name() == role:
            heard.append(source)
            loop.quit()

    listener = Atspi.EventListener.new(on_event)
    listener.register('object:state-changed:showing')
    print('listening', flush=True)
    GLib.timeout_add_seconds(TRIES // 10, loop.quit)
    loop.run()
    if heard:
        return 0
    print(f'  no {role} named {name!r} appeared')
    return 1


def main():
    if sys.argv[1] == 'appears':
        return wait_for_appearance(sys.argv[2], sys.argv[3])
    check = {'controls': lambda app: problems_with_controls(app),
             'focus': lambda app: problems_with_focus(app, sys.argv[2], sys.argv[3])}[sys.argv[1]]
    problems = ['the program is not on the accessibility bus']
    for _ in range(TRIES):
        app = application()
        if app is not None:
            app.clear_cache()
            problems = check(app)
            if not problems:
                return 0
        time.sleep(0.1)
    for problem in problems:
        print('  ' + problem)
    return 1


sys.exit(main())
