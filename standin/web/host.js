// The browser host's page side (an Emscripten --js-library): the canvas and
// its text sink, the picture, the clock, the wait for the next frame, the
// full screen and pointer lock carried out on a gesture, and the dialog.
mergeInto(LibraryManager.library, {
  $lurnHost: {
    canvas: null,
    sink: null,        // a hidden textarea: typed, inserted and composed text
    text: [],          // UTF-8 strings not yet taken
    hiddenSince: -1,   // when the tab was hidden, or -1
    hiddenTotal: 0,    // ms the tab was hidden, left out of the clock
    waited: 0,         // ms spent waiting for frames, for the benches
    pending: {fullScreen: false, pointerLock: false},
    inGesture: false,  // within a key press or click: requests go at once
    dialog: null,
    carryOut: function() {
      var host = lurnHost;
      // The canvas's parent goes full screen: the text sink beside the
      // canvas must stay shown to keep the focus.
      var box = host.canvas.parentElement;
      if (host.pending.fullScreen && !document.fullscreenElement && box.requestFullscreen)
        box.requestFullscreen().catch(function() {});
      if (host.pending.pointerLock && document.pointerLockElement !== host.canvas &&
          host.canvas.requestPointerLock)
        host.canvas.requestPointerLock();
      host.pending.fullScreen = host.pending.pointerLock = false;
    },
  },

  lurn_host_attach__deps: ['$lurnHost'],
  lurn_host_attach: function(selector, sinkId) {
    var canvas = document.querySelector(UTF8ToString(selector));
    if (!canvas || canvas.tagName !== 'CANVAS') return 0;
    var host = lurnHost;
    host.canvas = canvas;
    if (!canvas.hasAttribute('tabindex')) canvas.tabIndex = 0;
    // Sharp at any devicePixelRatio: the picture is scaled in wasm into a
    // backing store of the canvas's CSS size in device pixels.
    canvas.style.imageRendering = 'pixelated';
    canvas.style.outline = 'none';
    var sink = document.createElement('textarea');
    sink.id = UTF8ToString(sinkId);
    sink.setAttribute('autocomplete', 'off');
    sink.setAttribute('aria-hidden', 'true');
    sink.style.cssText = 'position:fixed;left:0;top:0;width:1px;height:1px;' +
        'opacity:0;border:0;padding:0;resize:none;pointer-events:none';
    canvas.insertAdjacentElement('afterend', sink);
    host.sink = sink;
    // The canvas takes the focus (on a press too) and hands it to the sink,
    // where keys and text arrive.
    canvas.addEventListener('focus', function() { sink.focus(); });
    function gesture() {
      host.inGesture = true;
      host.carryOut();
      setTimeout(function() { host.inGesture = false; }, 0);
    }
    canvas.addEventListener('mousedown', function(e) {
      e.preventDefault(); // the sink keeps the focus: no blur and focus again
      sink.focus();
      gesture();
    }, true);
    sink.addEventListener('keydown', gesture, true);
    sink.addEventListener('input', function(e) {
      // An input method's text arrives whole at compositionend.
      if (!e.isComposing && e.data) host.text.push(e.data);
      sink.value = '';
    });
    sink.addEventListener('compositionend', function(e) {
      if (e.data) host.text.push(e.data);
      sink.value = '';
    });
    document.addEventListener('visibilitychange', function() {
      var now = performance.now();
      if (document.hidden) host.hiddenSince = now;
      else if (host.hiddenSince >= 0) {
        host.hiddenTotal += now - host.hiddenSince;
        host.hiddenSince = -1;
      }
    });
    return 1;
  },

  lurn_host_sink_focused__deps: ['$lurnHost'],
  lurn_host_sink_focused: function() {
    return lurnHost.sink !== null && document.activeElement === lurnHost.sink;
  },

  // The backing store follows the canvas's CSS size in device pixels (its
  // layout size: a page may scale it further with a CSS transform).
  lurn_host_canvas_size__deps: ['$lurnHost'],
  lurn_host_canvas_size: function(width, height) {
    var canvas = lurnHost.canvas, w = 0, h = 0;
    if (canvas) {
      var ratio = window.devicePixelRatio || 1;
      w = Math.round(canvas.clientWidth * ratio);
      h = Math.round(canvas.clientHeight * ratio);
      if (w > 0 && h > 0 && (canvas.width !== w || canvas.height !== h)) {
        canvas.width = w;
        canvas.height = h;
      }
    }
    HEAP32[width >> 2] = w;
    HEAP32[height >> 2] = h;
  },

  lurn_host_to_canvas__deps: ['$lurnHost'],
  lurn_host_to_canvas: function(clientX, clientY, x, y) {
    var canvas = lurnHost.canvas, rect = canvas.getBoundingClientRect();
    HEAP32[x >> 2] = rect.width > 0 ? Math.floor((clientX - rect.left) * canvas.width / rect.width) : 0;
    HEAP32[y >> 2] = rect.height > 0 ? Math.floor((clientY - rect.top) * canvas.height / rect.height) : 0;
  },

  // One putImageData a frame, from a view made afresh: memory may grow.
  lurn_host_put__deps: ['$lurnHost'],
  lurn_host_put: function(rgba, width, height) {
    var canvas = lurnHost.canvas;
    if (canvas.width !== width || canvas.height !== height) return;
    var context = canvas.getContext('2d', {alpha: false});
    var view = new Uint8ClampedArray(HEAPU8.buffer, rgba, width * height * 4);
    context.putImageData(new ImageData(view, width, height), 0, 0);
  },

  lurn_host_now__deps: ['$lurnHost'],
  lurn_host_now: function() {
    var host = lurnHost, now = performance.now();
    return now - host.hiddenTotal - (host.hiddenSince >= 0 ? now - host.hiddenSince : 0);
  },

  // The one yield point: the next animation frame, or in a hidden tab (where
  // frames stop) a slow timer. One wake-up at most is ever pending.
  lurn_host_wait_frame__deps: ['$lurnHost'],
  lurn_host_wait_frame: function() {
    return Asyncify.handleSleep(function(wakeUp) {
      var done = false, frame = 0, timer = 0, start = performance.now();
      function wake() {
        if (done) return;
        done = true;
        lurnHost.waited += performance.now() - start;
        cancelAnimationFrame(frame);
        clearTimeout(timer);
        wakeUp();
      }
      if (!document.hidden) frame = requestAnimationFrame(wake);
      timer = setTimeout(wake, document.hidden ? 250 : 100);
    });
  },

  // A full screen or pointer lock needs a user gesture: carried out now
  // within one, otherwise at the next key press or click.
  lurn_host_request__deps: ['$lurnHost'],
  lurn_host_request: function(fullScreen, pointerLock) {
    var host = lurnHost;
    if (fullScreen) host.pending.fullScreen = true;
    if (pointerLock) host.pending.pointerLock = true;
    if (host.inGesture) host.carryOut();
  },

  lurn_host_leave_full_screen__deps: ['$lurnHost'],
  lurn_host_leave_full_screen: function() {
    lurnHost.pending.fullScreen = false;
    if (document.fullscreenElement) document.exitFullscreen().catch(function() {});
  },

  lurn_host_take_text__deps: ['$lurnHost'],
  lurn_host_take_text: function(buffer, size) {
    var text = lurnHost.text;
    while (text.length > 0) {
      var next = text[0];
      if (lengthBytesUTF8(next) < size) {
        text.shift();
        return stringToUTF8(next, buffer, size);
      }
      // Too long for one go: cut between whole characters.
      var cut = Array.from(next);
      var half = cut.slice(0, cut.length >> 1).join('');
      text.splice(0, 1, half, cut.slice(cut.length >> 1).join(''));
    }
    return 0;
  },

  // The error box: a modal dialog with the box's title and text.
  lurn_host_show_dialog__deps: ['$lurnHost'],
  lurn_host_show_dialog: function(title, text) {
    var dialog = document.createElement('dialog');
    dialog.id = 'lurn-dialog';
    var heading = document.createElement('h2');
    heading.textContent = UTF8ToString(title);
    var body = document.createElement('p');
    body.style.whiteSpace = 'pre-wrap';
    body.textContent = UTF8ToString(text);
    var form = document.createElement('form');
    form.method = 'dialog';
    var ok = document.createElement('button');
    ok.textContent = 'OK';
    form.appendChild(ok);
    dialog.append(heading, body, form);
    dialog.addEventListener('close', function() {
      dialog.remove();
      lurnHost.dialog = null;
    });
    document.body.appendChild(dialog);
    lurnHost.dialog = dialog;
    dialog.showModal();
    ok.focus();
  },

  lurn_host_dialog_open__deps: ['$lurnHost'],
  lurn_host_dialog_open: function() { return lurnHost.dialog !== null; },

  lurn_host_set_cursor__deps: ['$lurnHost'],
  lurn_host_set_cursor: function(hidden) {
    if (lurnHost.canvas) lurnHost.canvas.style.cursor = hidden ? 'none' : '';
  },
});
