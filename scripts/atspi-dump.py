#!/usr/bin/python3
"""Prints the window's accessibility tree as a screen reader reads it over
AT-SPI: role, name, value, description and states, one object a line.
Run by scripts/atspi-dump.sh, which starts the window on a private bus."""
import sys
import time

import pyatspi


def value_of(obj):
    try:
        text = obj.queryText()
        if text.characterCount and obj.getRoleName() not in ("label",):
            return text.getText(0, -1)
    except NotImplementedError:
        pass
    try:
        return str(obj.queryValue().currentValue)
    except NotImplementedError:
        return ""


def dump(obj, depth=0, out=sys.stdout):
    if obj is None or depth > 30:
        return
    states = obj.getState()
    if not states.contains(pyatspi.STATE_SHOWING) and depth > 1:
        return
    flags = [name for name, state in (("focusable", pyatspi.STATE_FOCUSABLE), ("focused", pyatspi.STATE_FOCUSED),
                                      ("selected", pyatspi.STATE_SELECTED), ("checked", pyatspi.STATE_CHECKED))
             if states.contains(state)]
    line = "  " * depth + f"[{obj.getRoleName()}] name={obj.name!r}"
    value = value_of(obj)
    if value and value != obj.name:
        line += f" value={value!r}"
    if obj.description:
        line += f" description={obj.description!r}"
    for relation in obj.getRelationSet():
        if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY:
            labels = [relation.getTarget(i).name for i in range(relation.getNTargets())]
            line += f" labelled-by={', '.join(labels)!r}"
    if flags:
        line += " (" + ", ".join(flags) + ")"
    print(line, file=out)
    for i in range(obj.childCount):
        dump(obj.getChildAtIndex(i), depth + 1, out)


def main():
    name = sys.argv[1] if len(sys.argv) > 1 else "krumple"
    for _ in range(100):
        desktop = pyatspi.Registry.getDesktop(0)
        apps = [desktop.getChildAtIndex(i) for i in range(desktop.childCount)]
        apps = [a for a in apps if a is not None and name in (a.name or "").lower()]
        if apps and apps[0].childCount:
            dump(apps[0])
            return
        time.sleep(0.2)
    sys.exit("no application named " + name + " on the bus")


main()
