# Shared libraries for programs, static archives for test programs. A test program
# (a target with PELLAM_TEST_PROGRAM set) links the platform layer and the mail
# library statically, whatever the static libraries it links ask for, so that it has
# one copy of each and reaches their internals and the fault-injection hooks, none
# of which the installed shared libraries export. Every other target gets the shared
# libraries, exactly as they are installed.

# Makes `alias` an interface target that stands for `shared` or, in a test program,
# for `static`.
function(pellam_variant alias shared static)
  string(REPLACE "::" "_" name "${alias}_variant")
  add_library(${name} INTERFACE)
  target_link_libraries(${name} INTERFACE
    $<IF:$<BOOL:$<TARGET_PROPERTY:PELLAM_TEST_PROGRAM>>,${static},${shared}>)
  add_library(${alias} ALIAS ${name})
endfunction()
