#pragma once

#include "storage/Encoding.h"
#include "storage/HeaderRecord.h"
#include "storage/IndexRecord.h"

#include <QTemporaryDir>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace qv::test {

// A board in a temporary directory, written byte by byte: ra/ holds the configuration files,
// fdb/ the file base, files/areaN/ each area's downloadable files.
class MainWindowTestBoard {
public:
    struct Area {
        std::string name;
        int group = 1;
        std::string path; // stored file path field; "" gives files/area<record>
    };
    struct Entry {
        std::string name; // "" makes a comment line
        int32_t size = 0;
        std::string uploader;
        std::string longName;
        std::string description;
        bool noDescription = false; // description pointer -1
        int32_t fileDate = 0x1CA50000; // 05-05-1994
    };

    MainWindowTestBoard()
    {
        std::filesystem::create_directories(boardDir());
        std::filesystem::create_directories(fileBaseDir() + "/hdr");
        std::filesystem::create_directories(fileBaseDir() + "/idx");
        std::filesystem::create_directories(fileBaseDir() + "/txt");
    }

    std::string root() const { return m_dir.path().toStdString(); }
    std::string boardDir() const { return root() + "/ra"; }
    std::string fileBaseDir() const { return boardDir() + "/fdb"; } // C:\RA\FDB with C: = root()
    std::string areaDir(int record) const { return root() + "/files/area" + std::to_string(record); }

    void writeConfig(const std::string& boardName, const std::string& fileBasePath)
    {
        std::vector<uint8_t> bytes(3089 + 1 + fileBasePath.size() + 64, 0);
        enc::putText(bytes.data() + 1258, 35, boardName);
        bytes[3089] = uint8_t(fileBasePath.size());
        std::copy(fileBasePath.begin(), fileBasePath.end(), bytes.begin() + 3090);
        write(boardDir() + "/CONFIG.RA", bytes);
    }

    void writeGroups(const std::vector<std::string>& names)
    {
        std::vector<uint8_t> bytes(names.size() * 153, 0);
        for (size_t i = 0; i < names.size(); ++i)
            enc::putText(bytes.data() + i * 153 + 2, 40, names[i]);
        write(boardDir() + "/FGROUPS.RA", bytes);
    }

    void writeAreas(const std::vector<Area>& areas)
    {
        std::vector<uint8_t> bytes(areas.size() * 168, 0);
        for (size_t i = 0; i < areas.size(); ++i) {
            uint8_t* r = bytes.data() + i * 168;
            enc::putText(r + 4, 40, areas[i].name);
            const std::string path = areas[i].path.empty() ? areaDir(int(i) + 1) : areas[i].path;
            enc::putText(r + 46, 40, path);
            enc::putWord(r + 111, areas[i].group);
            std::filesystem::create_directories(areaDir(int(i) + 1));
        }
        write(boardDir() + "/FILES.RA", bytes);
    }

    void writeFilesRdx(const std::vector<int>& recordOfArea)
    {
        std::vector<uint8_t> bytes(recordOfArea.size() * 2, 0);
        for (size_t j = 0; j < recordOfArea.size(); ++j)
            enc::putWord(bytes.data() + j * 2, recordOfArea[j]);
        write(boardDir() + "/FILES.RDX", bytes);
    }

    void writeArea(int area, const std::vector<Entry>& entries)
    {
        std::vector<uint8_t> hdr, idx, lfn, txt;
        for (const Entry& e : entries) {
            HeaderRecord h;
            h.setName(e.name);
            h.setSize(e.size);
            h.setUploader(e.uploader);
            h.setFileDate(e.fileDate);
            h.setUploadDate(e.fileDate);
            h.setLastDownloadDate(e.fileDate);
            const int32_t pointer = e.noDescription ? -1 : int32_t(txt.size());
            if (!e.noDescription) {
                txt.insert(txt.end(), e.description.begin(), e.description.end());
                txt.push_back(0);
            }
            h.setDescriptionPointer(pointer);
            hdr.insert(hdr.end(), h.encode().begin(), h.encode().end());
            std::vector<uint8_t> index(IndexRecord::kSize, 0);
            enc::putLong(index.data() + IndexRecord::kDescriptionPointerOffset, pointer);
            idx.insert(idx.end(), index.begin(), index.end());
            std::vector<uint8_t> longName(256, 0);
            enc::putText(longName.data(), 255, e.longName);
            lfn.insert(lfn.end(), longName.begin(), longName.end());
        }
        const std::string n = std::to_string(area);
        write(fileBaseDir() + "/hdr/fdb" + n + ".hdr", hdr);
        write(fileBaseDir() + "/idx/fdb" + n + ".idx", idx);
        write(fileBaseDir() + "/txt/fdb" + n + ".txt", txt);
        write(fileBaseDir() + "/hdr/fdb" + n + ".lfn", lfn);
    }

    static void write(const std::string& path, const std::vector<uint8_t>& bytes)
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }

private:
    QTemporaryDir m_dir;
};

} // namespace qv::test
