// The part of three.js the map page uses, bundled and minified by `npm run vendor`
// into vendor/three.page.min.js, which vxltool embeds in every page. Add a name
// here when the page starts using it, then run `npm run vendor` and commit both.
export {
  BufferAttribute,
  BufferGeometry,
  Color,
  ColorManagement,
  LinearSRGBColorSpace,
  Mesh,
  MeshBasicMaterial,
  PerspectiveCamera,
  REVISION,
  Scene,
  WebGLRenderer,
} from "three";
