# Makes the portable zip: run with cmake -P from the folder that will hold it, with
#   FOLDER  the folder inside the zip, already holding the program and README.txt
#   ZIP     the zip to write
# It adds SHA256SUMS (sha256sum's format) for the files in FOLDER.
file(GLOB files RELATIVE "${CMAKE_CURRENT_BINARY_DIR}/${FOLDER}" "${FOLDER}/*")
list(REMOVE_ITEM files SHA256SUMS)
list(SORT files)
set(sums "")
foreach(name IN LISTS files)
    file(SHA256 "${FOLDER}/${name}" sum)
    string(APPEND sums "${sum}  ${name}\n")
endforeach()
file(WRITE "${FOLDER}/SHA256SUMS" "${sums}")
file(REMOVE "${ZIP}")
file(ARCHIVE_CREATE OUTPUT "${ZIP}" PATHS "${FOLDER}" FORMAT zip)
