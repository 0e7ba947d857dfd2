// The page's side of the browser backend (linked with --js-library): the dialog, the window's
// title bar and canvas, keys, Web Audio, the wait for the next animation frame and the end page.
// The elements it works with are those of index.html.

var WebHost = {
  $Page__postset: 'Page.init();',
  $Page: {
    // What the user did, for the program's next look at its queue.
    events: [],
    // The buttons of the next dialog, and the dialog on show: its buttons and what answers it.
    nextButtons: [],
    dialog: null,
    // The AudioContext, made at the first gesture; null when the browser has none.
    audio: undefined,
    // The program's sound: its buffer source, the context time its first sample plays at (null
    // until it is started) and the clock's value at that sample.
    sound: null,
    noticeGiven: false,
    shown: false,
    ended: false,
    wantScreenOn: false,
    screenLock: null,

    // The show's clock (clockNow), in milliseconds: performance.now() plus clockOffset while it
    // runs free; standing at clockHeldAt while it waits for the sound; following the sound as
    // heard while one plays; standing at pausedAt while the page is hidden or frozen (the reasons
    // in pauses). It never goes back (clockLast).
    clockOffset: 0,
    clockLast: 0,
    clockHeldAt: null,
    heldSince: 0,
    pausedAt: null,
    pauses: {},
    // The time between animation frames (ms), and the last frame's time.
    frameMs: 1000 / 60,
    lastFrameTime: null,
    // Where the page lays its window out: the picture's size, and whether the layout must be
    // worked out again (a resize, another device-pixel ratio, fullscreen).
    pictureSize: [640, 480],
    layoutDue: true,

    // Keys the browser would act on itself (scrolling, its menus), kept from it while the show's
    // window is up.
    ownKeys: ['ArrowLeft', 'ArrowRight', 'ArrowUp', 'ArrowDown', 'PageUp', 'PageDown', 'Home',
              'End', 'Space', 'AltLeft', 'AltRight', 'F10'],

    test: function() {
      return window.showTest || null;
    },

    element: function(id) {
      return document.getElementById(id);
    },

    init: function() {
      var onKey = function(event) {
        if (Page.ended) {
          return;
        }
        // A dialog takes the keyboard while it is up, as a message box does.
        if (Page.dialog) {
          Page.dialogKey(event);
          return;
        }
        if (event.isComposing) {
          return;
        }
        var flags = (event.type === 'keydown' ? 0x10 : 0) | (event.repeat ? 0x20 : 0) |
                    (event.altKey ? 0x40 : 0) | (event.ctrlKey ? 0x80 : 0);
        Page.events.push({kind: 1, flags: flags, code: event.code || '', key: event.key || ''});
        if (Page.shown && Page.ownKeys.indexOf(event.code) >= 0) {
          event.preventDefault();
        }
      };
      window.addEventListener('keydown', onKey);
      window.addEventListener('keyup', onKey);
      window.addEventListener('focus', function() {
        Page.events.push({kind: 3, flags: 0});
      });
      window.addEventListener('blur', function() {
        Page.events.push({kind: 4, flags: 0});
      });
      document.addEventListener('visibilitychange', function() {
        Page.setPaused('hidden', document.visibilityState === 'hidden');
        Page.updateScreenLock();
      });
      // A page put away (into the back-forward cache) or frozen by the browser stops as a hidden
      // one does.
      window.addEventListener('pagehide', function() {
        Page.setPaused('away', true);
      });
      window.addEventListener('pageshow', function() {
        Page.setPaused('away', false);
      });
      document.addEventListener('freeze', function() {
        Page.setPaused('frozen', true);
      });
      document.addEventListener('resume', function() {
        Page.setPaused('frozen', false);
      });
      Page.setPaused('hidden', document.visibilityState === 'hidden');
      // The browser may take the GL context away (a GPU reset, too many contexts): the program
      // cannot draw again, so the show ends with a message rather than a picture that stands.
      Page.element('canvas').addEventListener('webglcontextlost', function() {
        Page.end('The show stopped: the browser took away its WebGL context.');
      });
      window.addEventListener('resize', Page.relayout);
      document.addEventListener('fullscreenchange', Page.relayout);
      document.addEventListener('webkitfullscreenchange', Page.relayout);
      Page.watchPixelRatio();
      var frame = Page.element('window');
      if (!(frame.requestFullscreen || frame.webkitRequestFullscreen) ||
          !(document.fullscreenEnabled || document.webkitFullscreenEnabled)) {
        // An iPhone offers fullscreen to videos only.
        Page.element('fullscreen').hidden = true;
      }
      Page.watchDoubleTap(Page.element('canvas'));
      Page.element('close').addEventListener('click', function() {
        Page.events.push({kind: 2, flags: 0});
      });
      Page.element('fullscreen').addEventListener('click', Page.enterFullscreen);
      Page.element('canvas').addEventListener('dblclick', Page.enterFullscreen);
      Page.element('again').addEventListener('click', function() {
        location.reload();
      });
      Module['onAbort'] = function(what) {
        Page.end('The show stopped: ' + what);
      };
    },

    // Takes the program's stack up again after a wait, with the result of the wait. The process's
    // end leaves that stack by throwing 'unwind', which is no failure.
    resume: function(wakeUp, value) {
      if (Page.ended) {
        return;
      }
      try {
        wakeUp(value);
      } catch (e) {
        if (e !== 'unwind') {
          Page.end('The show stopped: ' + e);
          throw e;
        }
      }
    },

    audioContext: function() {
      if (Page.audio === undefined) {
        // On iOS the ring/silent switch mutes Web Audio unless the page's sound is playback.
        if (navigator.audioSession) {
          try {
            navigator.audioSession.type = 'playback';
          } catch (e) {
          }
        }
        var Context = window.AudioContext || window.webkitAudioContext;
        try {
          Page.audio = Context ? new Context() : null;
        } catch (e) {
          Page.audio = null;
        }
        if (Page.audio) {
          Page.audio.addEventListener('statechange', Page.soundStateChanged);
        }
      }
      return Page.audio;
    },

    // A click or key press lets the page start sound: the AudioContext is made (or resumed) in it.
    gesture: function() {
      var audio = Page.audioContext();
      if (audio && audio.state === 'suspended' && Page.pausedAt === null) {
        audio.resume().catch(function() {});
      }
    },

    // The show's clock. Time 0 of the show is the moment its first sample is heard, not the
    // moment the sound is started: the output's latency (tens of milliseconds; over Bluetooth a
    // few hundred) lies between. So once the program starts its sound, the clock stands until
    // that sample is heard, and then follows the sound as heard, so that the frame drawn for a
    // moment shows with the sound of that moment.
    clockNow: function() {
      var now = performance.now();
      var value;
      if (Page.pausedAt !== null) {
        value = Page.pausedAt;
      } else {
        var heard = Page.soundClock(now);
        if (Page.clockHeldAt !== null) {
          if (heard !== null && heard >= Page.clockHeldAt) {
            Page.clockHeldAt = null;
            Page.clockOffset = heard - now;
          } else if (now - Page.heldSince > Page.soundWaitMs) {
            // The clock goes on from where it stands.
            Page.soundFailed();
          }
        } else if (heard !== null) {
          // Each reading of the sound's position is a few milliseconds off, one way or the other:
          // the clock moves an eighth of the way to it each time, and jumps only when far off.
          var error = heard - now - Page.clockOffset;
          Page.clockOffset += Math.abs(error) > Page.clockSnapMs ? error : error / 8;
        } else if (Page.sound && Page.sound.startContext !== null) {
          // The sound stopped playing without the page asking (the system took the output away):
          // the picture waits for it.
          Page.holdClock(now + Page.clockOffset);
        }
        value = Page.clockHeldAt !== null ? Page.clockHeldAt : now + Page.clockOffset;
      }
      Page.clockLast = Math.max(Page.clockLast, value);
      return Page.clockLast;
    },

    // How long the clock waits for the sound to be heard before the show goes on without it, and
    // how far off the sound the clock may be before it jumps rather than eases.
    soundWaitMs: 4000,
    clockSnapMs: 30,

    holdClock: function(value) {
      Page.clockHeldAt = Math.max(Page.clockLast, value);
      Page.heldSince = performance.now();
    },

    // The context time of the sample heard now: the engine's own answer where it gives one
    // (getOutputTimestamp: a context time and the moment it was heard), else its current time
    // less the latencies it reports. An answer from the future is not taken (WebKitGTK 2.50 gives
    // the moment on a clock that runs twice as fast as performance.now()), nor an old one: the
    // output has not moved since (Chromium's answer while its output starts is a second old).
    heardContextTime: function(audio, now) {
      if (audio.getOutputTimestamp) {
        var stamp = audio.getOutputTimestamp();
        if (stamp && stamp.contextTime > 0 && stamp.performanceTime <= now + 1 &&
            stamp.performanceTime > now - 100) {
          return stamp.contextTime + (now - stamp.performanceTime) / 1000;
        }
      }
      return audio.currentTime - (audio.baseLatency || 0) - (audio.outputLatency || 0);
    },

    // The clock's value that the sound heard now gives (less than that at its start while the
    // first sample is still on its way); null while no sound plays.
    soundClock: function(now) {
      var sound = Page.sound;
      var audio = Page.audio;
      if (!sound || sound.startContext === null || !audio || audio.state !== 'running') {
        return null;
      }
      var position = Page.heardContextTime(audio, now) - sound.startContext;
      if (position > sound.duration) {
        Page.sound = null;
        return null;
      }
      // A frame drawn now is shown at the next animation frame: it is drawn for the sound heard
      // then.
      return sound.clockAtStart + 1000 * position + Page.frameMs;
    },

    // Starts the program's sound once the context runs, a little ahead so that its first sample
    // plays at a context time known beforehand.
    startSound: function() {
      var sound = Page.sound;
      var audio = Page.audio;
      if (sound && sound.startContext === null && audio && audio.state === 'running' &&
          Page.pausedAt === null) {
        sound.startContext = audio.currentTime + 0.1;
        sound.source.start(sound.startContext);
      }
    },

    soundStateChanged: function() {
      var audio = Page.audio;
      if (Page.ended || !audio) {
        return;
      }
      if (audio.state === 'running' && Page.pausedAt !== null) {
        // It was asked to run before the page was hidden.
        audio.suspend().catch(function() {});
      } else {
        Page.startSound();
      }
    },

    soundFailed: function() {
      Page.stopSound();
      Page.notice('The browser did not play the show\'s sound: the show goes on without it.');
    },

    // While the page is hidden or frozen for any reason the show stands: its clock and its sound
    // stop, and both go on from there when the page is back.
    setPaused: function(reason, paused) {
      if (!!Page.pauses[reason] === paused || Page.ended) {
        return;
      }
      var wasPaused = Page.pausedAt !== null;
      if (paused) {
        Page.pauses[reason] = true;
      } else {
        delete Page.pauses[reason];
      }
      var nowPaused = Object.keys(Page.pauses).length > 0;
      var audio = Page.audio;
      if (nowPaused && !wasPaused) {
        Page.pausedAt = Page.clockNow();
        if (audio && audio.state === 'running') {
          audio.suspend().catch(function() {});
        }
      } else if (!nowPaused && wasPaused) {
        var value = Page.pausedAt;
        Page.pausedAt = null;
        Page.lastFrameTime = null;
        if (Page.sound) {
          // The picture goes on once the sound is heard again.
          Page.holdClock(value);
          audio.resume().catch(function() {});
          Page.startSound();
        } else {
          Page.clockOffset = value - performance.now();
        }
      }
    },

    // The time between animation frames, from their times (a slow average: one late frame does
    // not count for much).
    noteFrame: function(time) {
      if (Page.lastFrameTime !== null) {
        var interval = time - Page.lastFrameTime;
        if (interval > 0 && interval < 100) {
          Page.frameMs += (interval - Page.frameMs) / 16;
        }
      }
      Page.lastFrameTime = time;
    },

    notice: function(text) {
      if (!Page.noticeGiven) {
        Page.noticeGiven = true;
        var notice = Page.element('notice');
        notice.textContent = text;
        notice.hidden = false;
        Page.relayout();
      }
    },

    ask: function(caption, text, icon, done) {
      var buttons = Page.nextButtons;
      Page.nextButtons = [];
      var box = Page.element('dialog');
      Page.element('dialog-caption').textContent = caption;
      Page.element('dialog-text').textContent = text;
      Page.element('dialog-icon').className = 'icon-' + icon.toString(16);
      var row = Page.element('dialog-buttons');
      row.textContent = '';
      Page.dialog = {buttons: buttons, done: done};
      buttons.forEach(function(button) {
        var element = document.createElement('button');
        element.type = 'button';
        element.textContent = button.text;
        element.addEventListener('click', function() {
          Page.answer(button.answer);
        });
        button.element = element;
        row.appendChild(element);
      });
      box.hidden = false;
      var first = buttons.filter(function(button) { return button.atReturn; })[0] || buttons[0];
      if (first) {
        first.element.focus();
      }
    },

    // Return presses the button that has the focus (the default one until Tab moves it), Escape
    // the one that cancels.
    dialogKey: function(event) {
      if (event.type !== 'keydown') {
        return;
      }
      var buttons = Page.dialog.buttons;
      var pick = null;
      if (event.key === 'Enter') {
        pick = buttons.filter(function(button) {
          return button.element === document.activeElement;
        })[0] || buttons.filter(function(button) { return button.atReturn; })[0];
      } else if (event.key === 'Escape') {
        pick = buttons.filter(function(button) { return button.atEscape; })[0];
      }
      if (pick) {
        event.preventDefault();
        Page.answer(pick.answer);
      }
    },

    answer: function(value) {
      var dialog = Page.dialog;
      if (!dialog) {
        return;
      }
      Page.dialog = null;
      Page.element('dialog').hidden = true;
      Page.gesture();
      // The program goes on once the page has shown the dialog gone.
      requestAnimationFrame(function() {
        setTimeout(function() {
          dialog.done(value);
        }, 0);
      });
    },

    enterFullscreen: function() {
      Page.gesture();
      var frame = Page.element('window');
      var request = frame.requestFullscreen || frame.webkitRequestFullscreen;
      if (Page.shown && request && !document.fullscreenElement &&
          !document.webkitFullscreenElement) {
        var promise = request.call(frame);
        if (promise && promise.catch) {
          promise.catch(function() {});
        }
      }
    },

    leaveFullscreen: function() {
      if (document.fullscreenElement && document.exitFullscreen) {
        document.exitFullscreen().catch(function() {});
      } else if (document.webkitFullscreenElement && document.webkitExitFullscreen) {
        document.webkitExitFullscreen();
      }
    },

    // A touch screen has no double-click: two taps close together in time and place on the
    // picture ask for fullscreen.
    watchDoubleTap: function(element) {
      var last = null;
      element.addEventListener('pointerup', function(event) {
        if (event.pointerType !== 'touch') {
          return;
        }
        if (last && event.timeStamp - last.time < 400 &&
            Math.abs(event.clientX - last.x) < 40 && Math.abs(event.clientY - last.y) < 40) {
          last = null;
          Page.enterFullscreen();
        } else {
          last = {time: event.timeStamp, x: event.clientX, y: event.clientY};
        }
      });
    },

    relayout: function() {
      Page.layoutDue = true;
    },

    // Another device-pixel ratio (the page moved to another screen, or zoomed) lays the page out
    // again.
    watchPixelRatio: function() {
      if (!window.matchMedia) {
        return;
      }
      var query = window.matchMedia('(resolution: ' + (window.devicePixelRatio || 1) + 'dppx)');
      if (query.addEventListener) {
        query.addEventListener('change', function() {
          Page.relayout();
          Page.watchPixelRatio();
        }, {once: true});
      }
    },

    // The window's client area, and the canvas in it with one pixel for each device pixel it
    // covers. In fullscreen the client area is the screen. In the page it has the picture's
    // aspect ratio and is as large as the page lets it be, up to the whole number of device
    // pixels per picture pixel nearest the device-pixel ratio (at a ratio of 1.5 twice, where
    // once would make it small): where that fits, present() scales the picture by that whole
    // number and it stays sharp.
    layout: function() {
      var frame = Page.element('window');
      if (frame.hidden) {
        return;
      }
      Page.layoutDue = false;
      var client = Page.element('client');
      var canvas = Page.element('canvas');
      var ratio = window.devicePixelRatio || 1;
      var width;
      var height;
      if ((document.fullscreenElement || document.webkitFullscreenElement) === frame) {
        var box = client.getBoundingClientRect();
        width = Math.round(box.width * ratio);
        height = Math.round(box.height * ratio);
      } else {
        var picture = Page.pictureSize;
        var whole = Math.max(1, Math.round(ratio));
        var root = document.documentElement;
        var notice = Page.element('notice');
        var roomWidth = root.clientWidth - (frame.offsetWidth - client.offsetWidth);
        var roomHeight = root.clientHeight - (frame.offsetHeight - client.offsetHeight) -
                         (notice.hidden ? 0 : notice.offsetHeight + 20);
        var scale = Math.min(Math.min(roomWidth * ratio, picture[0] * whole) / picture[0],
                             Math.min(roomHeight * ratio, picture[1] * whole) / picture[1]);
        width = Math.floor(picture[0] * scale);
        height = Math.floor(picture[1] * scale);
        client.style.width = width / ratio + 'px';
        client.style.height = height / ratio + 'px';
      }
      width = Math.max(width, 1);
      height = Math.max(height, 1);
      if (canvas.width !== width) {
        canvas.width = width;
      }
      if (canvas.height !== height) {
        canvas.height = height;
      }
    },

    // The screen stays on while the program refuses the screen saver and the page is visible.
    updateScreenLock: function() {
      var want = Page.wantScreenOn && document.visibilityState === 'visible' && !Page.ended;
      if (want && !Page.screenLock && navigator.wakeLock) {
        Page.screenLock = 'asking';
        navigator.wakeLock.request('screen').then(function(lock) {
          Page.screenLock = lock;
          lock.addEventListener('release', function() {
            if (Page.screenLock === lock) {
              Page.screenLock = null;
            }
          });
          Page.updateScreenLock();
        }, function() {
          Page.screenLock = null;
        });
      } else if (!want && Page.screenLock && Page.screenLock !== 'asking') {
        var lock = Page.screenLock;
        Page.screenLock = null;
        lock.release().catch(function() {});
      }
    },

    stopSound: function() {
      var sound = Page.sound;
      if (sound) {
        Page.sound = null;
        try {
          sound.source.stop();
        } catch (e) {
        }
        if (Page.clockHeldAt !== null && Page.pausedAt === null) {
          // The clock no longer waits for it.
          Page.clockOffset = Page.clockHeldAt - performance.now();
        }
        Page.clockHeldAt = null;
      }
    },

    // The end of the process: sound, fullscreen and the wake lock go, and the end page shows.
    end: function(problem) {
      if (Page.ended) {
        return;
      }
      Page.ended = true;
      Page.stopSound();
      if (Page.audio) {
        Page.audio.close().catch(function() {});
      }
      Page.leaveFullscreen();
      Page.updateScreenLock();
      Page.events = [];
      Page.element('window').hidden = true;
      Page.element('dialog').hidden = true;
      if (problem) {
        Page.element('ended-text').textContent = problem;
      }
      Page.element('ended').hidden = false;
      Page.element('again').focus();
    },
  },

  web_wait_frame__deps: ['$Page'],
  web_wait_frame: function(frame) {
    // A test's clock sees the frame on show (the canvas still holds it) and decides whether the
    // next one comes. (The function runs again when the program's stack comes back; only the
    // first run starts the wait.)
    var test = Page.test();
    return Asyncify.handleSleep(function(wakeUp) {
      if (test) {
        test.frameShown(frame);
      }
      requestAnimationFrame(function(time) {
        Page.noteFrame(time);
        Page.resume(wakeUp, test ? (test.advance() ? 1 : 0) : 1);
      });
    });
  },

  // A test that drives the page puts its clock (frames per second, the frames it wants to see,
  // whether the next one comes) into window.showTest before the page loads; a page without one
  // runs on the real clock.
  web_test_clock_fps__deps: ['$Page'],
  web_test_clock_fps: function() {
    var test = Page.test();
    return test ? test.fps | 0 : 0;
  },

  web_clock_ms__deps: ['$Page'],
  web_clock_ms: function() {
    var value = Page.clockNow();
    var test = Page.test();
    if (test && test.clockRead) {
      test.clockRead(value);
    }
    return value;
  },

  web_dialog_button__deps: ['$Page'],
  web_dialog_button: function(text, answer, atReturn, atEscape) {
    Page.nextButtons.push(
        {text: UTF8ToString(text), answer: answer, atReturn: !!atReturn, atEscape: !!atEscape});
  },

  web_ask__deps: ['$Page'],
  web_ask: function(caption, text, icon) {
    return Asyncify.handleSleep(function(wakeUp) {
      Page.ask(UTF8ToString(caption), UTF8ToString(text), icon, function(answer) {
        Page.resume(wakeUp, answer);
      });
    });
  },

  web_take_event__deps: ['$Page'],
  web_take_event: function(code, codeSize, key, keySize) {
    var event = Page.events.shift();
    if (!event) {
      return 0;
    }
    if (event.kind === 1) {
      stringToUTF8(event.code, code, codeSize);
      stringToUTF8(event.key, key, keySize);
    }
    return event.kind | event.flags;
  },

  web_open_window__deps: ['$Page'],
  web_open_window: function(title) {
    var text = UTF8ToString(title);
    Page.element('title').textContent = text;
    document.title = text;
  },

  web_show_window__deps: ['$Page'],
  web_show_window: function(shown) {
    Page.shown = !!shown;
    Page.element('window').hidden = !shown;
    Page.relayout();
  },

  web_close_window__deps: ['$Page'],
  web_close_window: function() {
    Page.shown = false;
    Page.leaveFullscreen();
    Page.element('window').hidden = true;
  },

  web_leave_fullscreen__deps: ['$Page'],
  web_leave_fullscreen: function() {
    Page.leaveFullscreen();
  },

  web_show_cursor__deps: ['$Page'],
  web_show_cursor: function(shown) {
    Page.element('canvas').style.cursor = shown ? '' : 'none';
  },

  web_keep_screen_on__deps: ['$Page'],
  web_keep_screen_on: function(on) {
    Page.wantScreenOn = !!on;
    Page.updateScreenLock();
  },

  web_fit_canvas__deps: ['$Page'],
  web_fit_canvas: function(pictureWidth, pictureHeight, width, height) {
    if (Page.pictureSize[0] !== pictureWidth || Page.pictureSize[1] !== pictureHeight) {
      Page.pictureSize = [pictureWidth, pictureHeight];
      Page.layoutDue = true;
    }
    if (Page.layoutDue) {
      Page.layout();
    }
    var canvas = Page.element('canvas');
    HEAP32[width >> 2] = canvas.width;
    HEAP32[height >> 2] = canvas.height;
  },

  web_play_sound__deps: ['$Page'],
  web_play_sound: function(samples, frames, channels, rate, bits) {
    var audio = Page.audioContext();
    if (!audio) {
      Page.notice('This browser has no Web Audio: the show plays without sound.');
      return 0;
    }
    var source;
    try {
      var buffer = audio.createBuffer(channels, frames, rate);
      var channel = new Float32Array(frames);
      for (var c = 0; c < channels; c++) {
        var i;
        if (bits === 16 && (samples & 1) === 0) {
          var at = (samples >> 1) + c;
          for (i = 0; i < frames; i++) {
            channel[i] = HEAP16[at + i * channels] / 32768;
          }
        } else if (bits === 16) {
          var view = new DataView(HEAPU8.buffer, samples);
          for (i = 0; i < frames; i++) {
            channel[i] = view.getInt16(2 * (i * channels + c), true) / 32768;
          }
        } else {
          for (i = 0; i < frames; i++) {
            channel[i] = (HEAPU8[samples + i * channels + c] - 128) / 128;
          }
        }
        buffer.copyToChannel(channel, c);
      }
      var test = Page.test();
      if (test && test.soundHanded) {
        test.soundHanded(buffer);
      }
      source = audio.createBufferSource();
      source.buffer = buffer;
      source.connect(audio.destination);
    } catch (e) {
      Page.notice('This browser cannot play the show\'s sound (' + e + '): the show plays ' +
                  'without it.');
      return 0;
    }
    Page.stopSound();
    // The show's clock stands at its value now (the program's time 0) until the first sample is
    // heard. The context may not run yet (it starts with the user's answer): the sound starts
    // when it does.
    var sound = {source: source, startContext: null, clockAtStart: Page.clockNow(),
                 duration: buffer.duration};
    Page.sound = sound;
    source.onended = function() {
      if (Page.sound === sound) {
        Page.sound = null;
      }
    };
    Page.holdClock(sound.clockAtStart);
    if (audio.state !== 'running' && Page.pausedAt === null) {
      audio.resume().catch(function() {});
    }
    Page.startSound();
    return 1;
  },

  web_stop_sound__deps: ['$Page'],
  web_stop_sound: function() {
    Page.stopSound();
  },

  web_exit__deps: ['$Page'],
  web_exit: function(code) {
    Page.end('');
    // Leaves the program's stack; the page catches this where it took the stack up.
    throw 'unwind';
  },
};

mergeInto(LibraryManager.library, WebHost);
