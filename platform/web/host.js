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
    source: null,
    noticeGiven: false,
    shown: false,
    ended: false,
    wantScreenOn: false,
    screenLock: null,

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
      document.addEventListener('visibilitychange', Page.updateScreenLock);
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
        var Context = window.AudioContext || window.webkitAudioContext;
        try {
          Page.audio = Context ? new Context() : null;
        } catch (e) {
          Page.audio = null;
        }
      }
      return Page.audio;
    },

    // A click or key press lets the page start sound: the AudioContext is made (or resumed) in it.
    gesture: function() {
      var audio = Page.audioContext();
      if (audio && audio.state === 'suspended') {
        audio.resume().catch(function() {});
      }
    },

    notice: function(text) {
      if (!Page.noticeGiven) {
        Page.noticeGiven = true;
        var notice = Page.element('notice');
        notice.textContent = text;
        notice.hidden = false;
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
      if (Page.shown && request && !document.fullscreenElement) {
        var promise = request.call(frame);
        if (promise && promise.catch) {
          promise.catch(function() {});
        }
      }
    },

    leaveFullscreen: function() {
      if (document.fullscreenElement && document.exitFullscreen) {
        document.exitFullscreen().catch(function() {});
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
      if (Page.source) {
        try {
          Page.source.stop();
        } catch (e) {
        }
        Page.source = null;
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
      requestAnimationFrame(function() {
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
  web_fit_canvas: function(width, height) {
    var canvas = Page.element('canvas');
    var ratio = window.devicePixelRatio || 1;
    // A canvas that is not laid out (its window hidden) keeps its size.
    if (canvas.clientWidth > 0 && canvas.clientHeight > 0) {
      var w = Math.round(canvas.clientWidth * ratio);
      var h = Math.round(canvas.clientHeight * ratio);
      if (canvas.width !== w) {
        canvas.width = w;
      }
      if (canvas.height !== h) {
        canvas.height = h;
      }
    }
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
    Page.source = source;
    // The sound starts now, with the show's clock. If the AudioContext is not running yet, it
    // starts when it does, that far into the song, so that sound and picture still agree.
    var requested = performance.now();
    if (audio.state === 'running') {
      source.start();
    } else {
      var startLate = function() {
        if (audio.state === 'running') {
          audio.removeEventListener('statechange', startLate);
          if (Page.source === source) {
            source.start(0, Math.min((performance.now() - requested) / 1000, buffer.duration));
          }
        }
      };
      audio.addEventListener('statechange', startLate);
      audio.resume().catch(function() {});
    }
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
