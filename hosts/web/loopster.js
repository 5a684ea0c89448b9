// The page around the core: the canvas in device pixels, the frame callback, the full-screen
// saver's input, the settings panel built from the dialog's table, and localStorage. The core
// (loopster-core.js and its .wasm) calls back through Module.page.
'use strict';

var Module = (function () {
  const canvas = document.getElementById('saver');
  const context = canvas.getContext('2d', { alpha: false });
  const note = document.getElementById('note');
  const dialog = document.getElementById('panel');
  const params = new URLSearchParams(location.search);
  let image = null;
  let started = false;
  let saverActive = false;
  let controls = {};

  // What a test reads: frames drawn with their times, frame callbacks, when the first frame
  // reached the canvas, and the pixels each of the last rectangles put on it held.
  const stats = { frames: 0, times: [], callbacks: 0, firstFrame: null, puts: [] };
  window.loopsterStats = stats;

  // The canvas's size in device pixels, so that one pixel of the buffer is one on the screen.
  let deviceSize = measure();
  function measure() {
    const box = canvas.getBoundingClientRect();
    return [Math.max(1, Math.round(box.width * devicePixelRatio)),
            Math.max(1, Math.round(box.height * devicePixelRatio))];
  }
  function resized(size) {
    if (size[0] === deviceSize[0] && size[1] === deviceSize[1]) return;
    deviceSize = size;
    if (started) Module._loopster_resize(size[0], size[1]);
  }
  new ResizeObserver(function (entries) {
    const entry = entries[0];
    const box = entry.devicePixelContentBoxSize && entry.devicePixelContentBoxSize[0];
    resized(box ? [Math.max(1, box.inlineSize), Math.max(1, box.blockSize)] : measure());
  }).observe(canvas);

  function present(pixels, width, height, left, top, w, h) {
    const heap = Module.HEAPU8.buffer;
    if (!image || image.width !== width || image.height !== height ||
        image.data.buffer !== heap || image.data.byteOffset !== pixels) {
      image = new ImageData(new Uint8ClampedArray(heap, pixels, width * height * 4), width, height);
    }
    if (canvas.width !== width || canvas.height !== height) {
      canvas.width = width;
      canvas.height = height;
      left = 0;
      top = 0;
      w = width;
      h = height;
    }
    context.putImageData(image, 0, 0, left, top, w, h);
    stats.puts.push(w * h);
    if (stats.puts.length > 200) stats.puts.splice(0, 100);
    if (stats.firstFrame === null) stats.firstFrame = performance.now();
  }

  function frame(time) {
    stats.callbacks++;
    if (Module._loopster_frame(time)) {
      stats.frames++;
      stats.times.push(time);
      if (stats.times.length > 2000) stats.times.splice(0, 1000);
    }
    requestAnimationFrame(frame);
  }

  function storageGet(key) {
    try {
      return localStorage.getItem(key);
    } catch (error) {
      return null;
    }
  }
  function storageSet(key, value) {
    try {
      localStorage.setItem(key, value);
      return true;
    } catch (error) {
      return false;
    }
  }

  function fatal(message) {
    const box = document.getElementById('fatal');
    box.textContent = message;
    box.hidden = false;
    console.error('loopster: ' + message);
    if (document.fullscreenElement) document.exitFullscreen().catch(function () {});
  }

  // The full-screen saver: a key, a mouse button, a click or the third pointer movement ends it,
  // by the saver's own rules in the core; so does leaving full screen any other way.
  const saverInput = {
    keydown: function (event) { event.preventDefault(); return [0, event.keyCode, 0, 0]; },
    mousedown: function (event) { return [1, event.button, 0, 0]; },
    click: function () { return [2, 0, 0, 0]; },
    mousemove: function (event) {
      return [3, 0, event.clientX * devicePixelRatio, event.clientY * devicePixelRatio];
    },
  };
  // The saver begins with full screen; an input that comes between the canvas going full screen
  // and the browser saying so begins it too, so that no key is lost. Once it has ended, nothing
  // begins it again until full screen has been left.
  let leaving = false;
  function beginSaver() {
    saverActive = true;
    Module._loopster_saver_begin();
  }
  function onSaverInput(event) {
    if (!saverActive) {
      if (leaving || !started || document.fullscreenElement !== canvas) return;
      beginSaver();
    }
    const args = saverInput[event.type](event);
    if (Module._loopster_saver_event(args[0], args[1], args[2], args[3])) endSaver();
  }
  for (const type in saverInput) document.addEventListener(type, onSaverInput, true);
  function endSaver() {
    saverActive = false;
    if (document.fullscreenElement) {
      leaving = true;
      document.exitFullscreen().catch(function () { leaving = false; });
    }
  }
  // Back on the page, the focus returns to the button that started the saver.
  document.addEventListener('fullscreenchange', function () {
    if (document.fullscreenElement === canvas) {
      if (!saverActive && !leaving) beginSaver();
      return;
    }
    if (saverActive) {
      Module._loopster_saver_event(4, 0, 0, 0);
      endSaver();
    }
    leaving = false;
    document.getElementById('fullscreen').focus();
  });
  document.getElementById('fullscreen').addEventListener('click', function () {
    if (!started) return;
    canvas.requestFullscreen().catch(function (error) {
      note.textContent = 'Full screen is not available here: ' + error.message;
    });
  });

  // The settings panel, laid out from the dialog's table: places in twips at 1.5 times 96 dpi.
  const pixelsPerTwip = 1.5 / 15;
  function place(element, control) {
    element.className = 'control' + (control.centred ? ' centred' : '');
    element.style.left = control.left * pixelsPerTwip + 'px';
    element.style.top = control.top * pixelsPerTwip + 'px';
    element.style.width = control.width * pixelsPerTwip + 'px';
    element.style.height = control.height * pixelsPerTwip + 'px';
    element.id = 'panel-' + control.name;
  }
  function buildPanel(table) {
    dialog.textContent = '';
    controls = {};
    const header = document.createElement('header');
    const caption = document.createElement('span');
    caption.id = 'panel-caption';
    caption.textContent = table.caption;
    const close = document.createElement('button');
    close.type = 'button';
    close.textContent = '\u00d7';
    close.setAttribute('aria-label', 'Close without saving');
    close.tabIndex = -1;
    close.addEventListener('click', function () { panelEvent(3, 0); });
    header.append(caption, close);
    const client = document.createElement('div');
    client.className = 'client';
    client.style.width = table.width * pixelsPerTwip + 'px';
    client.style.height = table.height * pixelsPerTwip + 'px';
    const error = document.createElement('p');
    error.setAttribute('role', 'alert');
    dialog.append(header, client, error);
    controls.error = error;
    let frame = client;
    for (const control of table.controls) {
      let element;
      if (control.kind === 'label') {
        element = document.createElement('div');
        element.textContent = control.name === 'Label1' ? table.notice : control.caption;
      } else if (control.kind === 'button') {
        element = document.createElement('button');
        element.type = 'button';
        element.textContent = control.caption;
        element.addEventListener('click', function () { panelEvent(2, 0); });
      } else if (control.kind === 'scrollbar') {
        element = document.createElement('input');
        element.type = 'range';
        element.min = table.scrollMin;
        element.max = table.scrollMax;
        element.step = table.scrollStep;
        element.setAttribute('aria-labelledby', 'panel-Label4');
        // Only a settled value counts, as with the dialog's scroll bar: not while dragging.
        element.addEventListener('change', function () { panelEvent(0, Number(element.value)); });
      } else if (control.kind === 'textbox') {
        element = document.createElement('output');
      } else if (control.kind === 'frame') {
        element = document.createElement('fieldset');
        const legend = document.createElement('legend');
        legend.textContent = control.caption;
        element.append(legend);
      } else {
        element = document.createElement('input');
        element.type = 'radio';
        element.name = 'panel-line';
        const light = control.name === 'Option1';
        element.setAttribute('aria-labelledby', light ? 'panel-Label3' : 'panel-Label2');
        element.addEventListener('change', function () {
          if (element.checked) panelEvent(1, light ? 1 : 0);
        });
      }
      place(element, control);
      (control.inFrame ? frame : client).append(element);
      if (control.kind === 'frame') frame = element;
      controls[control.name] = element;
    }
  }
  function panel(call, text, value) {
    if (call === 'create') buildPanel(JSON.parse(text));
    else if (call === 'text1') controls.Text1.value = text;
    else if (call === 'scroll') controls.HScroll1.value = value;
    else if (call === 'option1') {
      controls.Option1.checked = value !== 0;
      controls.Option2.checked = value === 0;
    } else if (call === 'show') {
      controls.error.textContent = '';
      if (!dialog.open) dialog.showModal();
      controls.Command1.focus();
    } else if (call === 'unload') dialog.close();
    else if (call === 'error') controls.error.textContent = text;
  }
  function panelEvent(kind, value) {
    if (Module._loopster_panel_event(kind, value)) {
      if (kind === 2) describeRate();
      document.getElementById('settings').focus();
    }
  }
  dialog.addEventListener('cancel', function (event) {
    event.preventDefault();
    panelEvent(3, 0);
  });
  document.getElementById('settings').addEventListener('click', function () {
    if (started) Module._loopster_panel_open();
  });

  let reducedMotion = false;
  function describeRate() {
    const rate = Module._loopster_frame_rate();
    note.textContent = reducedMotion && rate === 5
      ? 'Your system asks for less motion, so loopster runs at its lowest rate, 5 frames per ' +
        'second. Settings can raise it.'
      : '';
  }

  function start() {
    reducedMotion = matchMedia('(prefers-reduced-motion: reduce)').matches;
    // Test only: a seed and a frame number hold that frame of that run still.
    const pinFrame = params.has('frame') ? parseInt(params.get('frame'), 10) : -1;
    const pinSeed = parseFloat(params.get('seed') || '0');
    deviceSize = measure();
    canvas.width = deviceSize[0];
    canvas.height = deviceSize[1];
    started = true;
    const failed = Module._loopster_start(deviceSize[0], deviceSize[1], reducedMotion ? 1 : 0,
                                          pinSeed, Number.isFinite(pinFrame) ? pinFrame : -1);
    describeRate();
    if (!failed) requestAnimationFrame(frame);
  }

  return {
    page: { present: present, storageGet: storageGet, storageSet: storageSet, panel: panel,
            fatal: fatal },
    onRuntimeInitialized: start,
    // The core could not be loaded: said on the page, with the likely cause for a page opened
    // from a file, which may not fetch its .wasm.
    onAbort: function (what) {
      fatal('loopster could not start: ' + what + (location.protocol === 'file:'
        ? '\nServe the folder instead, for example: python3 -m http.server -d build/web' : ''));
    },
    printErr: function (text) { console.error(text); },
  };
})();
