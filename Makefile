# Entry points: `make test` builds everything and runs every test; `make run` starts Tovrel.
.PHONY: all bootstrap native sanitize mingw test run bench soak demo format clean

all: native mingw

bootstrap:
	@scripts/bootstrap

native: bootstrap
	cmake --preset native
	cmake --build --preset native

# The core and its unit tests under AddressSanitizer, LeakSanitizer and UBSan, for make test.
sanitize: bootstrap
	cmake --preset sanitize
	cmake --build --preset sanitize

mingw: bootstrap
	cmake --preset mingw
	cmake --build --preset mingw

# The Wine prefixes are made (once) while the builds and the native unit tests run; interrupted,
# this waits for them to stop. The unit tests under the sanitizers, bound to the processor alone,
# run beside the Windows-side tests at the lowest priority, so that they take no time those need,
# and tell what they found after them.
test: bootstrap
	@scripts/with-wine true & desk=$$!; scripts/with-wine --monitors true & monitors=$$!; \
		scripts/with-wine --dpi 144 true & dpi=$$!; \
		trap 'kill $$desk $$monitors $$dpi 2>/dev/null; wait $$desk $$monitors $$dpi; exit 130' INT TERM; \
		$(MAKE) --no-print-directory native sanitize mingw && ctest --preset native; passed=$$?; \
		wait $$desk && wait $$monitors && wait $$dpi && [ $$passed -eq 0 ]
	@nice -n 19 ctest --preset sanitize >build/sanitize/tests.log 2>&1 & sanitized=$$!; \
		trap 'kill $$sanitized 2>/dev/null; wait $$sanitized; exit 130' INT TERM; \
		scripts/with-wine ctest --preset mingw -LE soak; wine=$$?; \
		wait $$sanitized; sanitize=$$?; cat build/sanitize/tests.log; \
		[ $$wine -eq 0 ] && [ $$sanitize -eq 0 ]

run: mingw
	scripts/run

bench: native mingw
	build/native/bench/stroke_bench
	scripts/with-wine sh -c "for b in gdi_bench save_bench png_bench draw_key_bench; do scripts/wine-run build/mingw/bench/\$$b.exe || exit; done"

soak: mingw
	scripts/with-wine ctest --preset mingw -L soak --verbose

demo: mingw
	scripts/demo

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

# An interrupted test may have left the small disk of the full-disk check mounted in build/.
clean:
	findmnt -rn -o TARGET | grep -F "$(CURDIR)/build/" | xargs -r umount
	rm -rf build
