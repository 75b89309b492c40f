# QUORLINK_SANITIZE=address;undefined builds every project target with the
# named sanitizers (set globally so libraries and tests agree on the ABI).
# Undefined behaviour stops the program at once, so a finding fails its test.
set(QUORLINK_SANITIZE "" CACHE STRING "Sanitizers to enable, e.g. address;undefined")
if(QUORLINK_SANITIZE)
  string(REPLACE ";" "," _quorlink_sanitizers "${QUORLINK_SANITIZE}")
  add_compile_options(-fsanitize=${_quorlink_sanitizers} -fno-omit-frame-pointer)
  add_link_options(-fsanitize=${_quorlink_sanitizers})
  if("undefined" IN_LIST QUORLINK_SANITIZE)
    add_compile_options(-fno-sanitize-recover=undefined)
    add_link_options(-fno-sanitize-recover=undefined)
  endif()
endif()
