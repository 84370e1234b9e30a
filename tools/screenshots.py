#!/usr/bin/python3
"""Drives the real program through its accessibility interface, the way a screen reader
does, and photographs the language chooser, the six wizard pages, the source picker and
the progress window.

Run by tools/screenshots.sh (which starts the X server and the accessibility bus):
    screenshots.py PROGRAM_FOLDER OUTPUT_FOLDER SUFFIX PICTURES_FOLDER DEST_FOLDER
"""

import os
import subprocess
import sys
import threading
import time

import pyatspi
from gi.repository import Atspi, GLib

program_folder, out_folder, suffix, pictures, destination = sys.argv[1:6]
TITLE = 'Tabulonix 1.2 by Merovane'


def wait_for(what, probe, timeout=90):
    end = time.time() + timeout
    while time.time() < end:
        try:
            found = probe()
        except Exception:  # the tree changes while it is read
            found = None
        if found:
            return found
        time.sleep(0.1)
    raise SystemExit('screenshots: no %s after %d s' % (what, timeout))


def application():
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == 'tabulonix':
            return app
    return None


def top_window(title, exact=False):
    app = application()
    if app is None:
        return None
    for window in app:
        if window is None or not window.getState().contains(pyatspi.STATE_SHOWING):
            continue
        if window.name == title or (not exact and window.name.startswith(title)):
            return window
    return None


def window(title, exact=False):
    return wait_for('window "%s"' % title, lambda: top_window(title, exact))


def descendants(node):
    for child in node:
        if child is None:
            continue
        yield child
        yield from descendants(child)


def control(parent, role, name, index=0):
    """The index-th showing control of a role and accessible name."""
    def probe():
        matches = [c for c in descendants(parent)
                   if c.getRoleName() == role and c.name == name
                   and c.getState().contains(pyatspi.STATE_SHOWING)]
        return matches[index] if len(matches) > index else None
    return wait_for('%s "%s"' % (role, name), probe)


def press(node):
    # A button that opens a modal dialog may answer only once the dialog is closed; the
    # press has happened all the same, and the next wait finds the dialog.
    try:
        node.queryAction().doAction(0)
    except GLib.GError as error:
        if 'Did not receive a reply' not in str(error):
            raise


def type_into(node, text):
    node.queryEditableText().setTextContents(text)


def shot(node, name):
    """Photographs a window as the screen shows it."""
    time.sleep(0.4)  # the last repaint reaches the X server
    x, y, w, h = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    path = os.path.join(out_folder, '%s%s.png' % (name, suffix))
    subprocess.run(['import', '-silent', '-window', 'root', '-crop', '%dx%d+%d+%d' % (w, h, x, y),
                    '+repage', path], check=True)
    print('screenshots: ' + path)


def x_window(title):
    """The X window id of a shown window with exactly this title, or None."""
    found = subprocess.run(['xdotool', 'search', '--onlyvisible', '--name',
                            '^%s$' % title.replace('.', r'\.')],
                           capture_output=True, text=True)
    ids = found.stdout.split()
    return ids[0] if ids else None


def x_shot(window_id, name):
    path = os.path.join(out_folder, '%s%s.png' % (name, suffix))
    subprocess.run(['import', '-silent', '-window', window_id, path], check=True)
    print('screenshots: ' + path)


def step(n, count):
    return window('%s %d/%d' % (TITLE, n, count), exact=True)


def main_german():
    """A long translation: the six pages in German, driven by their German captions."""
    program = subprocess.Popen([os.path.join(program_folder, 'tabulonix')])
    try:
        title = 'Tabulonix 1.2 von Merovane'
        for n in range(1, 7):
            wizard = window('%s %d/6' % (title, n), exact=True)
            shot(wizard, 'page%d' % n)
            if n < 6:
                press(control(wizard, 'push button', 'Weiter'))
        press(control(wizard, 'push button', 'Schließen'))
        program.wait(timeout=60)
    finally:
        if program.poll() is None:
            program.kill()


def main():
    Atspi.set_timeout(5000, 30000)  # a press that opens a modal dialog answers late
    program = subprocess.Popen([os.path.join(program_folder, 'tabulonix')])
    try:
        chooser = window('Choose language', exact=True)
        shot(chooser, 'chooser')
        press(control(chooser, 'push button', 'Ok'))

        wizard = step(1, 6)
        shot(wizard, 'page1')
        press(control(wizard, 'push button', 'Options'))
        options = window('Options', exact=True)
        shot(options, 'options')
        press(control(options, 'push button', 'Cancel'))
        press(control(step(1, 6), 'push button', 'About'))
        about = window('About', exact=True)
        shot(about, 'about')
        press(control(about, 'push button', 'Ok'))
        wizard = step(1, 6)
        press(control(wizard, 'push button', 'Next'))

        wizard = step(2, 6)
        press(control(wizard, 'push button', 'Browse', 0))
        picker = window('Select source images', exact=True)
        press(control(picker, 'push button', 'Browse...'))
        browser = window('Browse for folder...', exact=True)
        type_into(control(browser, 'text', 'Directory:'), pictures)
        press(control(browser, 'push button', 'Choose'))
        picker = window('Select source images (', exact=False)
        wait_for('thumbnails', lambda: '@' in top_window('Select source images').name)
        shot(top_window('Select source images'), 'picker')
        press(control(picker, 'push button', 'Ok'))
        wait_for('selected pictures',
                 lambda: any(c.name.endswith('image(s) to process!') for c in descendants(wizard)))
        type_into(control(wizard, 'text', 'Destination folder:'), destination)
        shot(wizard, 'page2')
        for n in (3, 4, 5):
            press(control(wizard, 'push button', 'Next'))
            wizard = step(n, 6)
            shot(wizard, 'page%d' % n)
        press(control(wizard, 'push button', 'Next'))
        wizard = step(6, 6)
        shot(wizard, 'page6')

        # The press answers only when the run is over, and the run answers the accessibility
        # bus only between pictures: the button is pressed from a thread of its own, and the
        # progress window is found and photographed through the X server.
        process = control(wizard, 'push button', 'Process!')
        pressing = threading.Thread(target=press, args=(process,))
        pressing.start()
        progress = wait_for('window "Working..."', lambda: x_window('Working...'), 60)
        x_shot(progress, 'progress')
        pressing.join()
        done = window('Information', exact=True)
        press(control(done, 'push button', 'OK'))
        press(control(step(6, 6), 'push button', 'Close'))
        program.wait(timeout=60)
    finally:
        if program.poll() is None:
            program.kill()


main_german() if suffix == '-german' else main()
