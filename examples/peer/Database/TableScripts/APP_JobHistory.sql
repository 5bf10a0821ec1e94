-- The job history table.
INSERT INTO dbo.ExecutedScripts (name) VALUES (N'APP_JobHistory.sql');
IF OBJECT_ID('dbo.APP_JobHistory') IS NULL CREATE TABLE dbo.APP_JobHistory (jobId BIGINT NOT NULL PRIMARY KEY, clientId INT NOT NULL, startedAt DATETIME NOT NULL, finishedAt DATETIME NULL);
GO
