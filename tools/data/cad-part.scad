// A machined plate for trying lines on CAD meshes: rounded corners, four counterbored holes, a round boss
// with a filleted top edge and a bore through it. Millimetres; nprsnap draws it in the unit box.
//   openscad -o cad-part.stl tools/data/cad-part.scad
length = 80;
width = 50;
thickness = 12;
corner = 8;     // radius of the rounded vertical edges
hole = 6.6;     // through holes for M6 screws
counterbore = 11;
counterbore_depth = 6;
boss = 28;      // diameter of the boss on top
boss_height = 10;
fillet = 4;     // radius of the boss's rounded top edge
bore = 14;

module plate() {
  hull() {
    for (x = [-1, 1], y = [-1, 1]) {
      translate([x * (length / 2 - corner), y * (width / 2 - corner), 0])
        cylinder(r = corner, h = thickness, $fn = 48);
    }
  }
}

// The boss's profile turned about its axis: a flat top meeting the side in a quarter circle.
module boss() {
  rotate_extrude($fn = 48)
    union() {
      square([boss / 2 - fillet, boss_height]);
      square([boss / 2, boss_height - fillet]);
      translate([boss / 2 - fillet, boss_height - fillet]) circle(r = fillet, $fn = 24);
    }
}

difference() {
  union() {
    plate();
    translate([0, 0, thickness - 0.01]) boss();
  }
  for (x = [-1, 1], y = [-1, 1]) {
    translate([x * (length / 2 - 12), y * (width / 2 - 12), 0]) {
      translate([0, 0, -1]) cylinder(d = hole, h = thickness + 2, $fn = 24);
      translate([0, 0, thickness - counterbore_depth]) cylinder(d = counterbore, h = thickness, $fn = 32);
    }
  }
  translate([0, 0, -1]) cylinder(d = bore, h = thickness + boss_height + 2, $fn = 40);
}
