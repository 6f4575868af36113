// The JavaScript side of web_page.h, linked into the program with
// --js-library. Each call goes to the page's own script (Module.page, set
// up by page.js before the program loads).
mergeInto(LibraryManager.library, {
  veyrith_page_clock_ms: function () {
    return Module.page.clockMs();
  },
  veyrith_page_show_picture: function (rgba, width, height, atRetrace) {
    Module.page.showPicture(HEAPU8.subarray(rgba, rgba + width * height * 4), width, height,
                            atRetrace !== 0);
  },
  veyrith_page_wait_frame__deps: ['$Asyncify'],
  veyrith_page_wait_frame: function () {
    return Asyncify.handleSleep(function (wakeUp) {
      Module.page.afterNextFrame(wakeUp);
    });
  },
  veyrith_page_message: function (text, caption) {
    Module.page.message(UTF8ToString(text), UTF8ToString(caption));
  },
  veyrith_page_notice: function (text) {
    Module.page.notice(UTF8ToString(text));
  },
  veyrith_page_song_starts: function () {
    Module.page.songStarts();
  },
  veyrith_page_ended: function (code) {
    Module.page.ended(code);
  },
});
