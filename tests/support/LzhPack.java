// Packs files into an LHA archive with a chosen method and header level,
// through the jLHA library (Debian package jlha-utils). Its command line
// only makes -lh5- and above, and it stores a file whose packed form would
// not be smaller; this drives its encoders directly, so every member has
// the method asked for, random data included. Used by the round-trip
// tests and the benchmark as a real encoder.
//
//   java -cp /usr/share/java/jlha.jar LzhPack.java -lh4- 1 out.lzh file...
//
// A file argument @LIST names a file that lists the files, one per line
// (for more files than a command line holds).
import java.io.*;
import java.nio.file.Files;
import java.util.ArrayList;
import java.util.Date;
import java.util.List;
import java.util.Properties;
import jp.gr.java_conf.dangan.util.lha.CRC16;
import jp.gr.java_conf.dangan.util.lha.CompressMethod;
import jp.gr.java_conf.dangan.util.lha.LhaHeader;

public class LzhPack {
  public static void main(String[] args) throws IOException {
    if (args.length < 4) {
      System.err.println("usage: LzhPack METHOD LEVEL ARCHIVE FILE...");
      System.exit(2);
    }
    String method = args[0];
    int level = Integer.parseInt(args[1]);
    List<String> names = new ArrayList<>();
    for (int i = 3; i < args.length; ++i) {
      if (args[i].startsWith("@")) {
        for (String line : Files.readAllLines(new File(args[i].substring(1)).toPath())) {
          if (!line.isEmpty()) names.add(line);
        }
      } else {
        names.add(args[i]);
      }
    }
    try (OutputStream archive = new BufferedOutputStream(new FileOutputStream(args[2]))) {
      for (String name : names) {
        File file = new File(name);
        byte[] original = Files.readAllBytes(file.toPath());
        ByteArrayOutputStream packed = new ByteArrayOutputStream();
        try (OutputStream encoder =
                 CompressMethod.connectEncoder(packed, method, new Properties())) {
          encoder.write(original);
        }
        CRC16 crc = new CRC16();
        crc.update(original, 0, original.length);
        LhaHeader header = new LhaHeader(file.getName(), new Date(file.lastModified()));
        header.setCompressMethod(method);
        header.setHeaderLevel(level);
        header.setOriginalSize(original.length);
        header.setCompressedSize(packed.size());
        header.setCRC((int) crc.getValue());
        archive.write(header.getBytes());
        packed.writeTo(archive);
      }
      archive.write(0);  // end of the archive
    }
  }
}
