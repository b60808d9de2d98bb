// GL names handed out again once deleted, as OpenGL does. The runtime
// counts names up for ever and pads every table of objects to the count, so
// each lost and restored context, whose objects are all made anew, would
// leave every table larger for good.
GL.getNewId = function (table) {
  var name = 1;
  while (table[name]) ++name;
  // The runtime takes names at or above its count for names never made.
  GL.counter = Math.max(GL.counter, name + 1);
  return name;
};
