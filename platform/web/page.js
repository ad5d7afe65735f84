// The page's side of the web backend: the canvas, the audio output, the message box and the
// end of the game. What the page measures is kept in Module.asphaltix for anyone who looks:
// frames shown, the game's time for each, the sound's peak level and latency.
mergeInto(LibraryManager.library, {
  $Page: {
    context: null,  // the canvas's 2D context
    image: null,    // ImageData over the backend's pixels
    audio: null,    // the AudioContext
    node: null,
    stats: function () {
      if (!Module.asphaltix) {
        Module.asphaltix = {
          frames: 0, firstPictureMs: null, firstFrameMs: null, frameMs: [], frameAt: [], peak: 0, latencyMs: null,
          audioState: 'none', box: null, ended: null
        };
      }
      return Module.asphaltix;
    },
    element: function (id) { return document.getElementById(id); }
  },

  asphaltix_page_put__deps: ['$Page'],
  asphaltix_page_put: function (pixels, width, height, x, y, w, h) {
    if (!Page.context) {
      Page.context = Module.canvas.getContext('2d');
      Page.stats().firstPictureMs = performance.now();
    }
    var image = Page.image;
    if (!image || image.width !== width || image.height !== height ||
        image.data.buffer !== HEAPU8.buffer || image.data.byteOffset !== pixels) {
      image = Page.image = new ImageData(
          new Uint8ClampedArray(HEAPU8.buffer, pixels, width * height * 4), width, height);
    }
    Page.context.putImageData(image, 0, 0, x, y, w, h);
  },

  asphaltix_page_frame__deps: ['$Page'],
  asphaltix_page_frame: function (busyMs) {
    var stats = Page.stats();
    if (stats.frames === 0) {
      stats.firstFrameMs = performance.now();
      var loading = Page.element('loading');
      if (loading) loading.hidden = true;
    }
    stats.frames++;
    stats.frameMs.push(busyMs);
    stats.frameAt.push(performance.now());
    if (stats.frameAt.length > 36000) stats.frameAt.splice(0, 18000);
    if (stats.frameMs.length > 36000) stats.frameMs.splice(0, 18000);
  },

  // The mix is 16-bit stereo at `rate`; the context runs at that rate, and the script node
  // asks the backend for `frames` frames at a time.
  asphaltix_page_open_audio__deps: ['$Page'],
  asphaltix_page_open_audio: function (rate, frames) {
    var stats = Page.stats();
    var Context = window.AudioContext || window.webkitAudioContext;
    if (!Context) return 0;
    try {
      Page.audio = new Context({sampleRate: rate, latencyHint: 'interactive'});
    } catch (e) {
      return 0;
    }
    var audio = Page.audio;
    var node = Page.node = audio.createScriptProcessor(frames, 0, 2);
    node.onaudioprocess = function (event) {
      var out = event.outputBuffer;
      var n = out.length;
      var left = out.getChannelData(0);
      var right = out.getChannelData(1);
      var at = Module['_asphaltix_render'](n);
      if (!at) {
        left.fill(0);
        right.fill(0);
        return;
      }
      var samples = HEAP16.subarray(at >> 1, (at >> 1) + 2 * n);
      var peak = 0;
      for (var i = 0; i < n; i++) {
        var l = samples[2 * i], r = samples[2 * i + 1];
        left[i] = l / 32768;
        right[i] = r / 32768;
        peak = Math.max(peak, l < 0 ? -l : l, r < 0 ? -r : r);
      }
      stats.peak = Math.max(stats.peak, peak / 32768);
      // What is rendered now is heard once the period playing has played.
      stats.latencyParts = [audio.baseLatency, audio.outputLatency, n / audio.sampleRate];
      stats.latencyMs = 1000 * ((audio.baseLatency || 0) + (audio.outputLatency || 0) +
                                n / audio.sampleRate);
    };
    node.connect(audio.destination);
    stats.audioState = audio.state;
    audio.onstatechange = function () { stats.audioState = audio.state; };
    var resume = function () { Page.audio && Page.audio.resume(); };
    // A click on the page counts as the player's first move, as a key does.
    window.addEventListener('mousedown', resume, true);
    window.addEventListener('touchstart', resume, true);
    return 1;
  },

  asphaltix_page_resume_audio__deps: ['$Page'],
  asphaltix_page_resume_audio: function () {
    if (Page.audio && Page.audio.state === 'suspended') Page.audio.resume();
  },

  asphaltix_page_audio_running__deps: ['$Page'],
  asphaltix_page_audio_running: function () {
    return Page.audio && Page.audio.state === 'running' ? 1 : 0;
  },

  asphaltix_page_full_screen: function () {
    if (document.fullscreenElement) {
      document.exitFullscreen();
    } else if (document.documentElement.requestFullscreen) {
      document.documentElement.requestFullscreen().catch(function () {});
    }
  },

  asphaltix_page_show_box__deps: ['$Page'],
  asphaltix_page_show_box: function (title, text) {
    var box = Page.element('box');
    var stats = Page.stats();
    stats.box = {title: UTF8ToString(title), text: UTF8ToString(text)};
    Page.element('box-title').textContent = stats.box.title;
    Page.element('box-text').textContent = stats.box.text;
    box.showModal();
    Page.element('box-ok').focus();
  },

  asphaltix_page_box_open__deps: ['$Page'],
  asphaltix_page_box_open: function () {
    var box = Page.element('box');
    return box && box.open ? 1 : 0;
  },

  asphaltix_page_ended__deps: ['$Page'],
  asphaltix_page_ended: function (code) {
    Page.stats().ended = code;
    if (Page.audio) Page.audio.close();
    Module.canvas.hidden = true;
    Page.element('end').hidden = false;
    Page.element('again').focus();
  }
});
